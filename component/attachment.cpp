#include "component/attachment.h"

#include "component/automation_error.h"
#include "component/durable_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <sys/stat.h>

namespace component {

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

bool Attachment::writeContentTo(QFile &output) const
{
    if (m_contentFile.isEmpty())
        return output.write(m_content) == m_content.size();
    QFile input(m_contentFile);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    char buffer[64 * 1024];
    qint64 n;
    while ((n = input.read(buffer, sizeof buffer)) > 0) {
        if (output.write(buffer, n) != n)
            return false;
    }
    return n == 0;
}

bool Attachment::savetofile(const QString &path)
{
    if (!m_contentFile.isEmpty() && !QFileInfo::exists(m_contentFile)) {
        raiseAutomationError(this, QStringLiteral("附件 %1 的内容已不在临时文件中").arg(m_name));
        return false;
    }
    const QFileInfo target(path);
    QTemporaryFile output(target.absolutePath() + QStringLiteral("/.orvex-save-XXXXXX"));
    if (!output.open()) {
        raiseAutomationError(this, QStringLiteral("无法写入 %1：%2").arg(path, output.errorString()));
        return false;
    }
    if (!writeContentTo(output) || !output.flush()) {
        raiseAutomationError(this, QStringLiteral("无法写入 %1：%2").arg(path, output.errorString()));
        return false;
    }
    // A temporary file is private to its owner; the saved attachment gets
    // the permissions of any new file the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(output.handle(), 0666 & ~mask);
    output.close();
    // rename() replaces the target in one step; QFile::rename would refuse
    // an existing one.
    if (std::rename(QFile::encodeName(output.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        raiseAutomationError(this, QStringLiteral("无法写入 %1").arg(path));
        return false;
    }
    output.setAutoRemove(false);
    noteUnsyncedFile(path);
    return true;
}

} // namespace component
