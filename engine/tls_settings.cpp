// SPDX-License-Identifier: MIT
#include "engine/tls_settings.h"

namespace engine {

void applyTlsSettings(ComponentCalls &calls, platform::AutomationObject &object, bool tlsrequired,
                      const QString &tlsfingerprint, const QString &cafile)
{
    if (tlsrequired)
        calls.set(object, QStringLiteral("tls"), QStringLiteral("required"));
    if (!tlsfingerprint.isEmpty())
        calls.set(object, QStringLiteral("tlsfingerprint"), tlsfingerprint);
    if (!cafile.isEmpty())
        calls.set(object, QStringLiteral("cafile"), cafile);
}

} // namespace engine
