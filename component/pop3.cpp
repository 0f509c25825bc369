#include "component/pop3.h"

#include "component/automation_error.h"

namespace component {

Pop3::Pop3(QObject *parent) : QObject(parent) {}

Pop3::~Pop3() = default;

bool Pop3::connect(const QString &user, const QString &password, const QString &host, int port)
{
    Q_UNUSED(user);
    Q_UNUSED(password);
    m_log = QStringLiteral("connecting to %1:%2: not available in this build\n").arg(host).arg(port);
    return false;
}

bool Pop3::deletemessages()
{
    return false;
}

bool Pop3::disconnect()
{
    return true;
}

int Pop3::count() const
{
    return 0;
}

QObject *Pop3::messages() const
{
    return nullptr;
}

} // namespace component
