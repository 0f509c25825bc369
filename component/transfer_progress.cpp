// SPDX-License-Identifier: MIT
#include "component/transfer_progress.h"

#include "component/native_path.h"

#include <sys/stat.h>

namespace component {

namespace {

// Header block, part headers and boundaries of a message.
constexpr qint64 kStructureBytes = 4096;
constexpr qint64 kPartHeaderBytes = 512;

qint64 base64LineBytes(qint64 raw)
{
    const qint64 encoded = (raw + 2) / 3 * 4;
    const qint64 lines = (encoded + 75) / 76;
    return encoded + 2 * lines;
}

// The size of the file at `path`, by the path's own bytes; 0 when unknown.
qint64 fileSize(const QString &path)
{
    struct stat status {};
    return ::stat(nativePath(path).constData(), &status) == 0 ? qint64(status.st_size) : 0;
}

} // namespace

bool ProgressThrottle::due()
{
    if (m_sinceLast.isValid() && m_sinceLast.elapsed() < m_intervalMs)
        return false;
    m_sinceLast.start();
    return true;
}

QString megabytesText(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

qint64 estimatedWireSize(const QStringList &attachmentFiles, qint64 bodyBytes)
{
    // Bodies may go as base64 or quoted-printable; count them as base64.
    qint64 total = kStructureBytes + base64LineBytes(bodyBytes);
    for (const QString &path : attachmentFiles)
        total += kPartHeaderBytes + base64LineBytes(fileSize(path));
    return total;
}

} // namespace component
