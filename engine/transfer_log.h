// SPDX-License-Identifier: MIT
#pragma once

#include "engine/component_calls.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace engine {

// The log a transfer leaves for the user: the component's own log and,
// after a failure, one line with the reason the engine was given or found
// itself, unless the component's log already gives it or already ends with
// its own account of an error. A null text when the component gave no log
// and nothing failed.
QString transferLog(const std::optional<QVariant> &componentLog, const ComponentCalls &calls);

} // namespace engine
