// SPDX-License-Identifier: MIT
#include "receive/d_email_list.h"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QPromise>
#include <QThreadPool>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

Q_LOGGING_CATEGORY(spoolLog, "orvex.receive.spool")

// Gives the heap's free pages back to the system. Bodies come in thousands
// of blocks too small for malloc to return one by one; once they are in the
// spool, the memory they took would otherwise stay with the process.
void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// Freeing a hundred thousand messages or rows would hold up the window for
// tens of milliseconds: a worker thread does it.
template <typename T>
void releaseInBackground(T retired)
{
    QThreadPool::globalInstance()->start([retired = std::move(retired)] {});
}

QString joinedWithSeparators(const QStringList &items)
{
    QString joined;
    for (const QString &item : items)
        joined += item + QLatin1Char(';');
    return joined;
}

} // namespace

const char *const d_email_list::kDataSource =
    "SELECT SYS_Email_main.ID, SYS_Email_main.emailid, SYS_Email_main.Folder, SYS_Email_main.ifread, "
    "SYS_Email_main.reciever, SYS_Email_main.chaosong, SYS_Email_main.topic, SYS_Email_main.body, "
    "SYS_Email_main.sendtime, SYS_Email_main.sender, SYS_Email_main.attach, SYS_Email_main.attachpath, "
    "SYS_Email_main.attachname FROM SYS_Email_main WHERE SYS_Email_main.emailid = :id";

d_email_list::d_email_list(QObject *parent) : QAbstractTableModel(parent), m_writer(spool_writer::start())
{
    setObjectName(QStringLiteral("d_email_list"));
    // Queued: the writer reports from its own thread.
    connect(m_writer, &spool_writer::written, this, &d_email_list::bodyWritten);
}

d_email_list::~d_email_list()
{
    m_writer->release();
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
    if (parent.isValid())
        return 0;
    return int(m_rows.size() + (m_pending ? m_pending->messages->size() : 0));
}

int d_email_list::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCountValue;
}

QVariant d_email_list::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCountValue)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return valueAt(index.row(), index.column());
    case HtmlRole:
        return isHtml(index.row() + 1);
    default:
        return QVariant();
    }
}

bool d_email_list::setData(const QModelIndex &index, const QVariant &value, int role)
{
    settlePending();
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCountValue)
        return false;
    Row &row = m_rows[index.row()];
    if (role == HtmlRole)
        row.html = value.toBool();
    else if ((role == Qt::EditRole || role == Qt::DisplayRole) && index.column() == body)
        keepBody(index.row(), value.toString());
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
    releaseInBackground(std::move(m_rows));
    m_rows = {};
    if (m_pending)
        releaseInBackground(std::move(m_pending->messages));
    m_pending.reset();
    // The writer stops after the body it is writing and removes the folder:
    // the clear is queued behind every body sent so far.
    m_writer->forget(m_generation++);
    QMetaObject::invokeMethod(m_writer, &spool_writer::clear, Qt::QueuedConnection);
    m_bodiesInFlight = 0;
    m_spoolFolder.clear();
    m_spoolFailureLogged = false;
    endResetModel();
}

long d_email_list::appendEmptyRow()
{
    settlePending();
    const int position = int(m_rows.size());
    beginInsertRows(QModelIndex(), position, position);
    m_rows.append(Row());
    endInsertRows();
    return position + 1;
}

void d_email_list::appendMessages(QList<stru_mail> messages)
{
    if (messages.isEmpty())
        return;
    settlePending();
    const int position = int(m_rows.size());
    const qsizetype count = messages.size();
    beginInsertRows(QModelIndex(), position, position + int(count) - 1);
    m_pending = PendingMessages{std::make_shared<const QList<stru_mail>>(std::move(messages)), m_nextSpoolKey,
                                ++m_lastTicket};
    m_nextSpoolKey += count;
    m_bodiesInFlight += count;
    endInsertRows();
    buildPendingInBackground();
}

QVariant d_email_list::valueFromMessage(const stru_mail &message, int column)
{
    switch (column) {
    case topic:
        return message.subject;
    case sender:
        return message.senderaddress;
    case sendtime:
        return message.maildatetime;
    case body:
        return message.body;
    case reciever:
        return joinedWithSeparators(message.recipientaddress1);
    case attach:
        return joinedWithSeparators(message.attachment);
    default:
        return QVariant();
    }
}

d_email_list::BuiltRows d_email_list::buildRows(const QList<stru_mail> &messages, int firstPosition,
                                                qint64 firstSpoolKey)
{
    BuiltRows built;
    built.rows.reserve(messages.size());
    built.bodies.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const stru_mail &message = messages.at(i);
        Row &row = built.rows.emplace_back();
        for (int column : {topic, sender, sendtime, body, reciever, attach})
            row.values[column] = valueFromMessage(message, column);
        row.html = message.html;
        row.attachmentPaths = message.attachment;
        row.spoolKey = firstSpoolKey + i;
        built.bodies.append({firstPosition + int(i), row.spoolKey, message.body});
    }
    return built;
}

void d_email_list::buildPendingInBackground()
{
    auto promise = std::make_shared<QPromise<BuiltRows>>();
    auto *watcher = new QFutureWatcher<BuiltRows>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, ticket = m_pending->ticket] {
        watcher->deleteLater();
        QFuture<BuiltRows> future = watcher->future();
        // A reset, or a change that built the rows here, came first.
        const bool current = m_pending && m_pending->ticket == ticket;
        // A pool that never ran the build (the program is ending) gives no
        // rows: they are built here.
        if (future.resultCount() == 0) {
            if (current)
                settlePending();
            return;
        }
        BuiltRows built = future.takeResult();
        if (!current) {
            releaseInBackground(std::move(built));
            return;
        }
        adoptBuiltRows(std::move(built));
    });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start(
            [promise, messages = m_pending->messages, position = int(m_rows.size()),
             firstKey = m_pending->firstSpoolKey]() mutable {
                promise->start();
                promise->addResult(buildRows(*messages, position, firstKey));
                messages.reset();
                promise->finish();
            });
}

void d_email_list::settlePending()
{
    if (m_pending)
        adoptBuiltRows(buildRows(*m_pending->messages, int(m_rows.size()), m_pending->firstSpoolKey));
}

void d_email_list::adoptBuiltRows(BuiltRows built)
{
    // A fetch fills an empty list: taking the rows over costs nothing.
    if (m_rows.isEmpty())
        m_rows = std::move(built.rows);
    else
        m_rows.append(std::move(built.rows));
    releaseInBackground(std::move(m_pending->messages));
    m_pending.reset();
    sendToSpool(std::move(built.bodies));
}

const stru_mail *d_email_list::pendingMessage(int position) const
{
    if (!m_pending || position < m_rows.size())
        return nullptr;
    return &m_pending->messages->at(position - m_rows.size());
}

QVariant d_email_list::valueAt(int position, int column) const
{
    if (const stru_mail *message = pendingMessage(position))
        return valueFromMessage(*message, column);
    const Row &row = m_rows.at(position);
    return column == body ? bodyOrNothing(row) : row.values.at(column);
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
    return valueAt(int(row - 1), c);
}

void d_email_list::setHtml(long row, bool html)
{
    if (validRow(row))
        setData(index(int(row - 1), 0), html, HtmlRole);
}

QStringList d_email_list::attachmentPaths(long row) const
{
    if (!validRow(row))
        return QStringList();
    if (const stru_mail *message = pendingMessage(int(row - 1)))
        return message->attachment;
    return m_rows.at(row - 1).attachmentPaths;
}

bool d_email_list::isHtml(long row) const
{
    if (!validRow(row))
        return false;
    if (const stru_mail *message = pendingMessage(int(row - 1)))
        return message->html;
    return m_rows.at(row - 1).html;
}

void d_email_list::keepBody(int position, const QString &text)
{
    Row &row = m_rows[position];
    row.values[body] = text;
    row.bodySpooled = false;
    row.spoolKey = m_nextSpoolKey++;
    ++m_bodiesInFlight;
    sendToSpool({{position, row.spoolKey, text}});
}

void d_email_list::sendToSpool(QList<spool_writer::Body> bodies)
{
    QMetaObject::invokeMethod(
            m_writer,
            [writer = m_writer, generation = m_generation, bodies = std::move(bodies)]() mutable {
                writer->write(generation, std::move(bodies));
            },
            Qt::QueuedConnection);
}

void d_email_list::bodyWritten(quint64 generation, int position, qint64 key, bool stored,
                               const QString &folderOrError)
{
    // Rows are only ever appended until the next reset, which starts a new
    // generation: within one, `position` is the row the body was sent for.
    if (generation != m_generation)
        return;
    --m_bodiesInFlight;
    Row &row = m_rows[position];
    if (stored && row.spoolKey == key) {
        m_spoolFolder = folderOrError;
        row.bodySpooled = true;
        row.values[body] = QVariant();
    } else if (!stored && !m_spoolFailureLogged) {
        // Disk full or no spool folder: the body stays in memory, as the
        // list kept every body before the spool.
        qCWarning(spoolLog, "message bodies kept in memory, the spool could not take them: %s",
                  qUtf8Printable(folderOrError));
        m_spoolFailureLogged = true;
    }
    // Trimming a heap that held a hundred thousand bodies can take a third
    // of a second: the writer's thread does it, and the window waits for it
    // only if it needs the heap meanwhile.
    if (m_bodiesInFlight == 0)
        QMetaObject::invokeMethod(m_writer, returnFreedMemory, Qt::QueuedConnection);
}

std::optional<QString> d_email_list::readBody(long row, QString *error) const
{
    if (!validRow(row)) {
        *error = QStringLiteral("no such row");
        return std::nullopt;
    }
    if (const stru_mail *message = pendingMessage(int(row - 1)))
        return message->body;
    const Row &r = m_rows.at(row - 1);
    if (!r.bodySpooled)
        return r.values.at(body).toString();
    return mail_spool::load(m_spoolFolder, r.spoolKey, error);
}

QVariant d_email_list::bodyOrNothing(const Row &row) const
{
    if (!row.bodySpooled)
        return row.values.at(body);
    QString error;
    const std::optional<QString> text = mail_spool::load(m_spoolFolder, row.spoolKey, &error);
    return text ? QVariant(*text) : QVariant();
}
