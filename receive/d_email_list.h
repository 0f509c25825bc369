// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stru_mail.h"
#include "receive/spool_writer.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <memory>
#include <optional>

// The mail list's rows: one per fetched message, with the thirteen columns
// of the mail table in their fixed order. The list only ever holds what a
// fetch put in it; it is never read from or written to a database.
// Bodies are kept in a spool on disk, not in memory: a list of thousands of
// messages holds little more than what the grid shows. A body the spool
// cannot take stays in memory.
//
// Making a file costs far more than painting a row, and now and then it
// blocks for long: rows are shown at once and their bodies written by a
// spool_writer on a thread of its own. Until it reports a body stored, the
// body is read from memory, so a click never waits for the disk and never
// meets a file that is still being written.
//
// Building a hundred thousand rows takes longer than painting the grid
// should: handed-over messages are shown as they are while a worker thread
// builds their rows, and every change to the list waits for those rows.
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
    // Returns at once: the spool's writer stops after the body it is
    // writing and removes the spool's folder on its own.
    ~d_email_list() override;

    static QStringList columnNames();
    // The column called `name`, or -1.
    static int columnIndex(const QString &name);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Removes every row; the spool's folder follows on the writer's thread.
    void reset();
    // Appends a row per fetched message, in one step: a view hears of them
    // once, not once per value, which matters for a list of thousands of
    // messages. Returns at once, whatever their number: the rows are shown
    // from the messages while a worker thread builds them, and their bodies
    // then follow to the spool on the writer's thread.
    void appendMessages(QList<stru_mail> messages);
    // Bodies handed over whose writing to the spool has not been reported
    // yet.
    qsizetype bodiesWaitingForSpool() const { return m_bodiesInFlight; }
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
    QString spoolFolder() const { return m_spoolFolder; }

private:
    // One row's values in column order, whether its body is HTML, and the
    // saved attachments' paths as the fetch gave them: the `attach` column
    // joins them with ";", which a path may itself contain.
    struct Row {
        std::array<QVariant, columnCountValue> values;
        bool html = false;
        QStringList attachmentPaths;
        // The row's entry in the spool, and whether its body is stored
        // there rather than kept in `values`.
        qint64 spoolKey = 0;
        bool bodySpooled = false;
    };
    // Rows built from handed-over messages, with their bodies for the spool.
    struct BuiltRows {
        QList<Row> rows;
        QList<spool_writer::Body> bodies;
    };
    // The messages last handed over, the list's last rows, while their rows
    // are being built. Nothing changes them: the worker thread reads them
    // as the window does.
    struct PendingMessages {
        std::shared_ptr<const QList<stru_mail>> messages;
        qint64 firstSpoolKey = 0;
        quint64 ticket = 0;
    };

    bool validRow(long row) const { return row >= 1 && row <= rowCount(); }
    // The pending message shown in row `position` (from 0), or null when
    // that row is built.
    const stru_mail *pendingMessage(int position) const;
    QVariant valueAt(int position, int column) const;

    static QVariant valueFromMessage(const stru_mail &message, int column);
    static BuiltRows buildRows(const QList<stru_mail> &messages, int firstPosition, qint64 firstSpoolKey);
    void buildPendingInBackground();
    // Builds the pending rows now, on this thread: before anything changes
    // the list, so that every change meets built rows.
    void settlePending();
    void adoptBuiltRows(BuiltRows built);

    void keepBody(int position, const QString &text);
    void sendToSpool(QList<spool_writer::Body> bodies);
    void bodyWritten(quint64 generation, int position, qint64 key, bool stored, const QString &folderOrError);
    QVariant bodyOrNothing(const Row &row) const;

    QList<Row> m_rows;
    std::optional<PendingMessages> m_pending;
    quint64 m_lastTicket = 0;
    spool_writer *m_writer;  // on a thread of its own; let go, not deleted
    // Every reset starts a generation: reports on an earlier one are late.
    quint64 m_generation = 1;
    // Each body written gets a key of its own, so that the report on a body
    // since replaced is told from the report on its replacement.
    qint64 m_nextSpoolKey = 1;
    qsizetype m_bodiesInFlight = 0;
    QString m_spoolFolder;
    // A spool that fails fails for many bodies in a row: said once a list.
    bool m_spoolFailureLogged = false;
};
