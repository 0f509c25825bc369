// SPDX-License-Identifier: MIT
#pragma once

#include <QIODevice>
#include <functional>

namespace component {

// A write-only device that passes everything on to another device and
// tells a callback, every so many bytes, how much has gone through: what a
// retrieval writes into its file becomes progress without the reader
// knowing about it.
class ProgressDevice : public QIODevice {
public:
    using Callback = std::function<void(qint64 bytesWritten)>;

    ProgressDevice(QIODevice &target, Callback callback, qint64 reportEvery = 64 * 1024);

    qint64 written() const { return m_written; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QIODevice &m_target;
    Callback m_callback;
    qint64 m_reportEvery;
    qint64 m_written = 0;
    qint64 m_lastReport = 0;
};

} // namespace component
