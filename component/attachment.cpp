#include "component/attachment.h"

#include "component/automation_error.h"

#include <QFile>
#include <QSaveFile>

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
}

bool Attachment::savetofile(const QString &path)
{
    QFile input(m_contentFile);
    if (m_contentFile.isEmpty() || !input.open(QIODevice::ReadOnly)) {
        raiseAutomationError(this, QStringLiteral("attachment %1 has no content").arg(m_name));
        return false;
    }
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly)) {
        raiseAutomationError(this, QStringLiteral("cannot write %1: %2").arg(path, output.errorString()));
        return false;
    }
    char buffer[64 * 1024];
    qint64 n;
    while ((n = input.read(buffer, sizeof buffer)) > 0) {
        if (output.write(buffer, n) != n)
            break;
    }
    if (n < 0 || !output.commit()) {
        raiseAutomationError(this, QStringLiteral("cannot write %1: %2").arg(path, output.errorString()));
        return false;
    }
    return true;
}

} // namespace component
