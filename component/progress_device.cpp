// SPDX-License-Identifier: MIT
#include "component/progress_device.h"

namespace component {

ProgressDevice::ProgressDevice(QIODevice &target, Callback callback, qint64 reportEvery)
    : m_target(target), m_callback(std::move(callback)), m_reportEvery(reportEvery)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 ProgressDevice::readData(char *, qint64)
{
    return -1;
}

qint64 ProgressDevice::writeData(const char *data, qint64 size)
{
    const qint64 done = m_target.write(data, size);
    if (done < size)
        setErrorString(m_target.errorString());
    if (done < 0)
        return -1;
    m_written += done;
    if (m_callback && m_written - m_lastReport >= m_reportEvery) {
        m_lastReport = m_written;
        m_callback(m_written);
    }
    return done;
}

} // namespace component
