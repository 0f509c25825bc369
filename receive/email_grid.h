#pragma once

#include <QTableView>

class d_email_list;
class email_list_presentation;

// The mail list grid: shows a d_email_list through its four visible
// columns. A click reports the row it hit, counted from 1; a click that hits
// no row (the header, the empty area below the last row) reports nothing and
// changes nothing, not even the highlight.
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

private:
    bool hitsRow(const QMouseEvent *event) const;

    email_list_presentation *m_presentation;
    long m_pressedRow = 0;
};
