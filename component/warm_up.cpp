// SPDX-License-Identifier: MIT
#include "component/warm_up.h"

#include "component/line_connection.h"
#include "component/sasl_client.h"

#include <QThreadPool>

#include <mutex>

namespace component {

void warmUpForMailSession()
{
    static std::once_flag started;
    std::call_once(started, [] {
        QThreadPool::globalInstance()->start([] {
            LineConnection::loadTlsLibrary();
            SaslClient::loadLibrary();
        });
    });
}

} // namespace component
