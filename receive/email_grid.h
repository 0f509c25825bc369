// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

class d_email_list;
class email_list_presentation;

// The mail list grid: shows a d_email_list through its four visible
// columns. A click reports the row it hit, counted from 1; a click that hits
// no row (the header, the empty area below the last row) reports nothing and
// changes nothing, not even the highlight. Moving the current row with the
// keyboard (arrows, Page Up/Down, Home, End) reports the row it reached as a
// click on it would, and so does Space on the current row.
class email_grid : public QTableView {
    Q_OBJECT
public:
    explicit email_grid(d_email_list *rows, QWidget *parent = nullptr);

    // Removes the highlight from every row and highlights row `row` (from 1).
    void highlightRow(long row);
    // The highlighted row (from 1), 0 when there is none.
    long highlightedRow() const;

signals:
    void rowClicked(long row);
    // A double click on a row, or Enter on the current row: open it.
    void rowActivated(long row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    bool hitsRow(const QMouseEvent *event) const;

    email_list_presentation *m_presentation;
    long m_pressedRow = 0;
    bool m_movingByKey = false;
};
