// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>

// The mail list's rows: one per fetched message, with the thirteen columns
// of the mail table in their fixed order. The list only ever holds what a
// fetch put in it; it is never read from or written to a database.
class d_email_list : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        id,
        emailid,
        folder,
        ifread,
        reciever,
        chaosong,
        topic,
        body,
        sendtime,
        sender,
        attach,
        attachpath,
        attachname,
        columnCountValue
    };

    // Whether the row's body is HTML (true) or plain text (false). Kept
    // beside the columns, not as one of them.
    static constexpr int HtmlRole = Qt::UserRole + 1;

    // The statement the list's columns are defined by, with its one
    // retrieval argument :id. Documentation of the columns only: nothing
    // ever runs it.
    static const char *const kDataSource;

    explicit d_email_list(QObject *parent = nullptr);

    static QStringList columnNames();
    // The column called `name`, or -1.
    static int columnIndex(const QString &name);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // One row's values in column order, whether its body is HTML, and the
    // saved attachments' paths as the fetch gave them: the `attach` column
    // joins them with ";", which a path may itself contain.
    struct Row {
        std::array<QVariant, columnCountValue> values;
        bool html = false;
        QStringList attachmentPaths;
    };

    // Removes every row.
    void reset();
    // Appends the rows in one step: a view hears of them once, not once per
    // value, which matters for a list of thousands of messages.
    void appendRows(const QList<Row> &rows);
    // Appends an empty row and returns its number, counted from 1.
    long appendEmptyRow();
    // A column's value in row `row` (from 1); false / an invalid value for
    // a row or column that does not exist.
    bool setItem(long row, const QString &column, const QVariant &value);
    QVariant item(long row, const QString &column) const;
    void setHtml(long row, bool html);
    bool isHtml(long row) const;
    QStringList attachmentPaths(long row) const;

private:
    bool validRow(long row) const { return row >= 1 && row <= m_rows.size(); }

    QList<Row> m_rows;
};
