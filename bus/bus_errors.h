// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace bus {

// The names of the errors the service answers with. A call the component
// could not carry out fails with org.orvex.Error.<Kind> and the component's
// own reason; a call the bus could not deliver fails with the standard
// D-Bus error for it.
namespace errors {

inline const QString kUnknownClass = QStringLiteral("org.orvex.Error.UnknownClass");
inline const QString kUnknownObject = QStringLiteral("org.orvex.Error.UnknownObject");
inline const QString kNotReleasable = QStringLiteral("org.orvex.Error.NotReleasable");
inline const QString kComponentUnavailable = QStringLiteral("org.orvex.Error.ComponentUnavailable");
inline const QString kLimitReached = QStringLiteral("org.orvex.Error.LimitReached");
inline const QString kAccessDenied = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");
inline const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
inline const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
inline const QString kUnknownInterface = QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface");
inline const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
inline const QString kPropertyReadOnly = QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly");

// The error name for a failure the component reported with `reason`:
// org.orvex.Error. followed by Authentication, Tls, Timeout, Connection,
// Refused, File, Abandoned, or Failed when nothing more is known. `kind` is
// the component's own name for the failure (its "failurekind", such as
// "authentication"); when empty, the kind is read from the reason's words.
QString failureName(const QString &kind, const QString &reason);

} // namespace errors

} // namespace bus
