// SPDX-License-Identifier: MIT
#include "receive/d_email_list.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

Q_LOGGING_CATEGORY(spoolLog, "orvex.receive.spool")

// How long the spool writes bodies before it lets the event loop run.
constexpr qint64 kSpoolSliceNs = 5'000'000;

// Gives the heap's free pages back to the system. Bodies come in thousands
// of blocks too small for malloc to return one by one; once they are in the
// spool, the memory they took would otherwise stay with the process.
void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

const char *const d_email_list::kDataSource =
    "SELECT SYS_Email_main.ID, SYS_Email_main.emailid, SYS_Email_main.Folder, SYS_Email_main.ifread, "
    "SYS_Email_main.reciever, SYS_Email_main.chaosong, SYS_Email_main.topic, SYS_Email_main.body, "
    "SYS_Email_main.sendtime, SYS_Email_main.sender, SYS_Email_main.attach, SYS_Email_main.attachpath, "
    "SYS_Email_main.attachname FROM SYS_Email_main WHERE SYS_Email_main.emailid = :id";

d_email_list::d_email_list(QObject *parent) : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("d_email_list"));
    m_spoolTimer.setInterval(0);
    connect(&m_spoolTimer, &QTimer::timeout, this, &d_email_list::spoolWaitingBodies);
}

QStringList d_email_list::columnNames()
{
    static const QStringList names = {
        QStringLiteral("id"),       QStringLiteral("emailid"), QStringLiteral("folder"),
        QStringLiteral("ifread"),   QStringLiteral("reciever"), QStringLiteral("chaosong"),
        QStringLiteral("topic"),    QStringLiteral("body"),    QStringLiteral("sendtime"),
        QStringLiteral("sender"),   QStringLiteral("attach"),  QStringLiteral("attachpath"),
        QStringLiteral("attachname"),
    };
    return names;
}

int d_email_list::columnIndex(const QString &name)
{
    return int(columnNames().indexOf(name.toLower()));
}

int d_email_list::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int d_email_list::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCountValue;
}

QVariant d_email_list::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCountValue)
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (index.column() == body)
            return bodyOrNothing(row);
        return row.values.at(index.column());
    case HtmlRole:
        return row.html;
    default:
        return QVariant();
    }
}

bool d_email_list::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCountValue)
        return false;
    Row &row = m_rows[index.row()];
    if (role == HtmlRole)
        row.html = value.toBool();
    else if ((role == Qt::EditRole || role == Qt::DisplayRole) && index.column() == body)
        keepBody(row, value.toString());
    else if (role == Qt::EditRole || role == Qt::DisplayRole)
        row.values[index.column()] = value;
    else
        return false;
    emit dataChanged(index, index, {role});
    return true;
}

QVariant d_email_list::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCountValue)
        return columnNames().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void d_email_list::reset()
{
    beginResetModel();
    m_rows.clear();
    m_spoolTimer.stop();
    m_waitingForSpool.clear();
    m_nextToSpool = 0;
    m_spool.clear();
    m_spoolFailureLogged = false;
    endResetModel();
}

long d_email_list::appendEmptyRow()
{
    const int position = int(m_rows.size());
    beginInsertRows(QModelIndex(), position, position);
    Row row;
    row.spoolKey = m_nextSpoolKey++;
    m_rows.append(row);
    endInsertRows();
    return position + 1;
}

void d_email_list::appendRows(QList<Row> rows)
{
    if (rows.isEmpty())
        return;
    const int position = int(m_rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        rows[i].spoolKey = m_nextSpoolKey++;
        m_waitingForSpool.append(position + i);
    }
    beginInsertRows(QModelIndex(), position, position + int(rows.size()) - 1);
    m_rows.append(std::move(rows));
    endInsertRows();
    m_spoolTimer.start();
}

bool d_email_list::setItem(long row, const QString &column, const QVariant &value)
{
    const int c = columnIndex(column);
    if (!validRow(row) || c < 0)
        return false;
    return setData(index(int(row - 1), c), value);
}

QVariant d_email_list::item(long row, const QString &column) const
{
    const int c = columnIndex(column);
    if (!validRow(row) || c < 0)
        return QVariant();
    if (c == body)
        return bodyOrNothing(m_rows.at(row - 1));
    return m_rows.at(row - 1).values.at(c);
}

void d_email_list::setHtml(long row, bool html)
{
    if (validRow(row))
        setData(index(int(row - 1), 0), html, HtmlRole);
}

QStringList d_email_list::attachmentPaths(long row) const
{
    return validRow(row) ? m_rows.at(row - 1).attachmentPaths : QStringList();
}

bool d_email_list::isHtml(long row) const
{
    return validRow(row) && m_rows.at(row - 1).html;
}

void d_email_list::keepBody(Row &row, const QString &text)
{
    QString error;
    row.bodySpooled = m_spool.store(row.spoolKey, text, &error);
    if (row.bodySpooled) {
        row.values[body] = QVariant();
        return;
    }
    // Disk full or no spool folder: the body stays in memory, as the list
    // kept every body before the spool.
    if (!m_spoolFailureLogged)
        qCWarning(spoolLog, "message bodies kept in memory, the spool could not take them: %s",
                  qUtf8Printable(error));
    m_spoolFailureLogged = true;
    row.values[body] = text;
}

void d_email_list::spoolWaitingBodies()
{
    QElapsedTimer slice;
    slice.start();
    while (m_nextToSpool < m_waitingForSpool.size() && slice.nsecsElapsed() < kSpoolSliceNs) {
        Row &row = m_rows[m_waitingForSpool.at(m_nextToSpool++)];
        if (!row.bodySpooled)
            keepBody(row, row.values.at(body).toString());
    }
    if (m_nextToSpool < m_waitingForSpool.size())
        return;
    m_spoolTimer.stop();
    m_waitingForSpool.clear();
    m_nextToSpool = 0;
    returnFreedMemory();
}

std::optional<QString> d_email_list::readBody(long row, QString *error) const
{
    if (!validRow(row)) {
        *error = QStringLiteral("no such row");
        return std::nullopt;
    }
    const Row &r = m_rows.at(row - 1);
    if (!r.bodySpooled)
        return r.values.at(body).toString();
    return m_spool.load(r.spoolKey, error);
}

QVariant d_email_list::bodyOrNothing(const Row &row) const
{
    if (!row.bodySpooled)
        return row.values.at(body);
    QString error;
    const std::optional<QString> text = m_spool.load(row.spoolKey, &error);
    return text ? QVariant(*text) : QVariant();
}
