// SPDX-License-Identifier: MIT
#pragma once

#include "engine/component_calls.h"

#include "platform/automation_object.h"

#include <QString>

namespace engine {

// Hands the TLS demands of a login record to a component object that
// connects ("orvex.Message" or "orvex.POP3"). Only what differs from the
// component's defaults is set, so a login that asks for nothing special
// makes no extra call.
void applyTlsSettings(ComponentCalls &calls, platform::AutomationObject &object, bool tlsrequired,
                      const QString &tlsfingerprint, const QString &cafile);

} // namespace engine
