// SPDX-License-Identifier: MIT
#include "receive/mail_spool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace {

// Empty when there is no temporary folder: QDir::tempPath() gives none for
// a TMPDIR that does not exist.
QString baseOrTemp(const QString &base)
{
    return base.isEmpty() ? QDir::tempPath() : base;
}

// The process a spool folder's name was made by, or 0.
qint64 ownerPid(const QString &folderName)
{
    const QString rest = folderName.mid(mail_spool::folderPrefix().size());
    bool ok = false;
    const qint64 pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool processRuns(qint64 pid)
{
    // A process of another user answers EPERM: it runs.
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// The first byte of an entry says how the text follows it.
constexpr char kUtf8Entry = '8';
// The text's own UTF-16 units: for a text that is not valid UTF-16 (half
// of a surrogate pair), which UTF-8 cannot carry as it is.
constexpr char kUtf16Entry = 'W';

QByteArray encodedEntry(const QString &text)
{
    if (text.isValidUtf16())
        return kUtf8Entry + text.toUtf8();
    QByteArray entry(1, kUtf16Entry);
    entry.append(reinterpret_cast<const char *>(text.constData()), text.size() * qsizetype(sizeof(QChar)));
    return entry;
}

std::optional<QString> decodedEntry(QByteArrayView entry)
{
    if (entry.isEmpty())
        return std::nullopt;
    const QByteArrayView text = entry.sliced(1);
    if (entry.front() == kUtf8Entry) {
        // QString::fromUtf8() would drop a byte order mark the text starts with.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return QString(utf8.decode(text));
    }
    if (entry.front() == kUtf16Entry && text.size() % qsizetype(sizeof(QChar)) == 0)
        return QString(reinterpret_cast<const QChar *>(text.data()), text.size() / qsizetype(sizeof(QChar)));
    return std::nullopt;
}

} // namespace

mail_spool::mail_spool(const QString &baseFolder) : m_base(baseOrTemp(baseFolder)) {}

mail_spool::~mail_spool() = default;

QString mail_spool::folderPrefix()
{
    return QStringLiteral("orvex-mail-");
}

QString mail_spool::folder() const
{
    return m_folder ? m_folder->path() : QString();
}

bool mail_spool::makeFolder(QString *error)
{
    if (m_folder)
        return true;
    if (m_base.isEmpty()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    // QTemporaryDir makes the folder with mode 0700 under a name nobody
    // else can have taken first.
    auto folder = std::make_unique<QTemporaryDir>(
            QDir(m_base).filePath(folderPrefix() + QString::number(QCoreApplication::applicationPid())
                                  + QStringLiteral("-XXXXXX")));
    if (!folder->isValid()) {
        *error = folder->errorString();
        return false;
    }
    m_folder = std::move(folder);
    return true;
}

QString mail_spool::entryPath(const QString &folder, qint64 key)
{
    return QDir(folder).filePath(QString::number(key));
}

bool mail_spool::store(qint64 key, const QString &text, QString *error)
{
    if (!makeFolder(error))
        return false;
    QFile file(entryPath(m_folder->path(), key));
    // UTF-8 takes half the room of UTF-16 for most mail.
    const QByteArray entry = encodedEntry(text);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                         && file.write(entry) == entry.size() && file.flush();
    if (written) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    *error = file.errorString();
    file.close();
    file.remove();
    return false;
}

std::optional<QString> mail_spool::load(const QString &folder, qint64 key, QString *error)
{
    if (folder.isEmpty()) {
        *error = QStringLiteral("no spool folder");
        return std::nullopt;
    }
    QFile file(entryPath(folder, key));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    std::optional<QString> text = decodedEntry(bytes);
    if (!text)
        *error = QStringLiteral("truncated entry");
    return text;
}

void mail_spool::clear()
{
    m_folder.reset();
}

void mail_spool::removeAbandoned(const QString &baseFolder)
{
    const QString base = baseOrTemp(baseFolder);
    if (base.isEmpty())
        return;
    const QFileInfoList folders = QDir(base)
                                          .entryInfoList({folderPrefix() + QLatin1Char('*')},
                                                         QDir::Dirs | QDir::NoSymLinks | QDir::Hidden
                                                                 | QDir::NoDotAndDotDot);
    const uint me = ::getuid();
    for (const QFileInfo &info : folders) {
        const qint64 pid = ownerPid(info.fileName());
        if (pid == 0 || info.ownerId() != me || pid == QCoreApplication::applicationPid() || processRuns(pid))
            continue;
        QDir(info.filePath()).removeRecursively();
    }
}
