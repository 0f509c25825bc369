// SPDX-License-Identifier: MIT
#include "component/attachment.h"

#include "component/automation_error.h"
#include "component/durable_files.h"
#include "component/native_path.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace component {

namespace {

// The permissions a new file of the user's gets: read and write for all,
// less the process's umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

Attachment::Attachment(QObject *parent) : QObject(parent) {}

Attachment::~Attachment()
{
    if (!m_contentFile.isEmpty())
        QFile::remove(m_contentFile);
}

void Attachment::setContentFile(const QString &path)
{
    if (!m_contentFile.isEmpty() && m_contentFile != path)
        QFile::remove(m_contentFile);
    m_contentFile = path;
    m_content.clear();
}

void Attachment::setContent(const QByteArray &content)
{
    setContentFile(QString());
    m_content = content;
}

int Attachment::writeContentTo(QFile &output) const
{
    // Straight to the descriptor, so that the reason of a failed write is
    // the system's own (a full disk, a file size limit).
    const int fd = output.handle();
    if (m_contentFile.isEmpty())
        return writeAll(fd, m_content.constData(), m_content.size());
    QFile input(m_contentFile);
    if (!input.open(QIODevice::ReadOnly))
        return EIO;
    char buffer[64 * 1024];
    qint64 n;
    while ((n = input.read(buffer, sizeof buffer)) > 0) {
        if (const int code = writeAll(fd, buffer, n); code != 0)
            return code;
    }
    return n == 0 ? 0 : EIO;
}

namespace {

// Why the content could not be written into `folder`, for the user.
QString writeErrorText(const QString &folder, int code)
{
    if (code == ENOSPC || code == EDQUOT)
        return QStringLiteral("磁盘空间不足，无法把附件写入文件夹 %1").arg(folder);
    return QStringLiteral("无法把附件写入文件夹 %1：%2").arg(folder, QString::fromLocal8Bit(std::strerror(code)));
}

} // namespace

namespace {

// Gives `target` the file now named `source`, in one step. The two names
// are swapped rather than the target replaced: ext4 writes out the whole
// content of a file renamed over another at once, which for a large
// attachment is a long wait for nothing (the caller syncs what must be on
// disk itself).
bool replaceByName(const QByteArray &source, const QByteArray &target)
{
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
        struct stat swapped {};
        if (::lstat(source.constData(), &swapped) == 0 && !S_ISDIR(swapped.st_mode))
            return true;
        // A folder is never replaced by a file: put it back.
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE);
        return false;
    }
    return std::rename(source.constData(), target.constData()) == 0;
}

} // namespace

bool Attachment::linkContentTo(const QString &path)
{
    // A large attachment already sits decoded in its temporary file: on the
    // same file system the saved file becomes a second name for it, so it is
    // never copied. Anywhere else (or on any error) the caller copies.
    const int fd = ::open(QFile::encodeName(m_contentFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    // The permissions are set through the descriptor, and the name is made
    // for that very descriptor, before the file has any name in the user's
    // folder: there, whoever may write to the folder could swap a name for
    // a link between two steps that go by name.
    const QString folder = QFileInfo(path).absolutePath();
    const QString spare = QStringLiteral("%1/.orvex-save-%2").arg(folder).arg(QRandomGenerator::global()->generate64(), 0, 16);
    const QByteArray spareName = nativePath(spare);
    const QByteArray descriptorPath = "/proc/self/fd/" + QByteArray::number(fd);
    const bool linked = ::fchmod(fd, newFileMode()) == 0
                        && ::linkat(AT_FDCWD, descriptorPath.constData(), AT_FDCWD, spareName.constData(),
                                    AT_SYMLINK_FOLLOW) == 0;
    ::close(fd);
    if (!linked)
        return false;
    if (!replaceByName(spareName, nativePath(path))) {
        ::unlink(spareName.constData());
        return false;
    }
    // The spare name now holds what the target was before (or, when the
    // target already was this same file, this file again): it must not stay
    // behind in the user's folder.
    ::unlink(spareName.constData());
    noteUnsyncedFile(path);
    return true;
}

bool Attachment::savetofile(const QString &path)
{
    if (!m_contentFile.isEmpty() && !QFileInfo::exists(m_contentFile)) {
        raiseAutomationError(this, QStringLiteral("附件 %1 的内容已不在临时文件中").arg(m_name));
        return false;
    }
    if (!m_contentFile.isEmpty() && linkContentTo(path))
        return true;
    // Written under a name of its own beside the target first, made from
    // the folder's bytes as they are (whatever their encoding).
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray scratch = nativePath(folder + QStringLiteral("/.orvex-save-XXXXXX"));
    const int fd = ::mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0) {
        raiseAutomationError(this, writeErrorText(folder, errno));
        return false;
    }
    QFile output;
    output.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    if (const int code = writeContentTo(output); code != 0) {
        output.close();
        ::unlink(scratch.constData());
        raiseAutomationError(this, writeErrorText(folder, code));
        return false;
    }
    // A scratch file is private to its owner; the saved attachment gets
    // the permissions of any new file the user makes.
    ::fchmod(fd, newFileMode());
    output.close();
    // rename() replaces the target in one step; QFile::rename would refuse
    // an existing one.
    if (std::rename(scratch.constData(), nativePath(path).constData()) != 0) {
        ::unlink(scratch.constData());
        raiseAutomationError(this, QStringLiteral("无法写入 %1").arg(path));
        return false;
    }
    noteUnsyncedFile(path);
    return true;
}

} // namespace component
