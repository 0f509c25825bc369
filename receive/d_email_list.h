// SPDX-License-Identifier: MIT
#pragma once

#include "receive/mail_spool.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>

// The mail list's rows: one per fetched message, with the thirteen columns
// of the mail table in their fixed order. The list only ever holds what a
// fetch put in it; it is never read from or written to a database.
// Bodies are kept in a spool on disk, not in memory: a list of thousands of
// messages holds little more than what the grid shows. A body the spool
// cannot take stays in memory.
//
// Making a file costs far more than painting a row, so rows appended in
// bulk are shown at once and their bodies moved to the spool while the
// event loop is idle, a few milliseconds at a time; until then a body is
// read from memory.
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
        // Set by the list: the row's entry in the spool, and whether its
        // body is there rather than in `values`.
        qint64 spoolKey = 0;
        bool bodySpooled = false;
    };

    // Removes every row.
    void reset();
    // Appends the rows in one step: a view hears of them once, not once per
    // value, which matters for a list of thousands of messages.
    // The bodies follow to the spool while the event loop is idle.
    void appendRows(QList<Row> rows);
    // Bodies appended but not yet in the spool.
    qsizetype bodiesWaitingForSpool() const { return m_waitingForSpool.size() - m_nextToSpool; }
    // Appends an empty row and returns its number, counted from 1.
    long appendEmptyRow();
    // A column's value in row `row` (from 1); false / an invalid value for
    // a row or column that does not exist.
    bool setItem(long row, const QString &column, const QVariant &value);
    QVariant item(long row, const QString &column) const;
    void setHtml(long row, bool html);
    bool isHtml(long row) const;
    QStringList attachmentPaths(long row) const;
    // Row `row`'s body, read from the spool; nothing, with the reason in
    // *error, when it cannot be read.
    std::optional<QString> readBody(long row, QString *error) const;
    // The spool's folder; empty while no body is spooled.
    QString spoolFolder() const { return m_spool.folder(); }

private:
    bool validRow(long row) const { return row >= 1 && row <= m_rows.size(); }

    void keepBody(Row &row, const QString &body);
    void spoolWaitingBodies();
    QVariant bodyOrNothing(const Row &row) const;

    QList<Row> m_rows;
    mail_spool m_spool;
    qint64 m_nextSpoolKey = 1;
    // Rows (from 0) whose bodies are still in memory, in the order appended.
    QList<int> m_waitingForSpool;
    qsizetype m_nextToSpool = 0;
    QTimer m_spoolTimer;
    // A spool that fails fails for many bodies in a row: said once a list.
    bool m_spoolFailureLogged = false;
};
