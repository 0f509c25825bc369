// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

namespace component {

// Spaces out the progress reports of a running transfer: the first report
// goes out at once, later ones at most once per interval, so that a fast
// transfer does not spend its time repainting a status line.
class ProgressThrottle {
public:
    explicit ProgressThrottle(qint64 intervalMs = 250) : m_intervalMs(intervalMs) {}

    // True when a report may go out now (and starts the next interval).
    bool due();

private:
    qint64 m_intervalMs;
    QElapsedTimer m_sinceLast;
};

// "12.3": a byte count in megabytes with one decimal, for status texts.
QString megabytesText(qint64 bytes);

// About how many bytes a message with these attachment files and bodies
// puts on the line: attachments go as base64 in lines of 76 characters. An
// estimate for showing progress, never a limit; unreadable files count 0.
qint64 estimatedWireSize(const QStringList &attachmentFiles, qint64 bodyBytes);

} // namespace component
