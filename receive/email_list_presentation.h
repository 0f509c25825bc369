// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>

class d_email_list;

// What the mail list grid shows of d_email_list: four columns, "序号" (the
// row's current position), "发件人", "主题" (bold only for a row whose
// ifread is exactly 0) and "日期" (date only).
class email_list_presentation : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { number, sender, topic, date, columnCountValue };

    explicit email_list_presentation(d_email_list *rows, QObject *parent = nullptr);

    // Column widths in layout units.
    static int columnWidthUnits(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // 宋体 9 pt, the face of the captions and fields.
    static QFont gridFont();

private:
    QVariant displayText(int row, int column) const;
    bool isUnread(int row) const;

    QPointer<d_email_list> m_rows;
};
