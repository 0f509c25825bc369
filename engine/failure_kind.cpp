// SPDX-License-Identifier: MIT
#include "engine/failure_kind.h"

#include <array>
#include <utility>

namespace engine {

namespace {

constexpr std::array<std::pair<FailureKind, const char *>, 11> kNames{{
        {FailureKind::None, ""},
        {FailureKind::Input, "input"},
        {FailureKind::Authentication, "authentication"},
        {FailureKind::Connection, "connection"},
        {FailureKind::UnknownHost, "unknownhost"},
        {FailureKind::Tls, "tls"},
        {FailureKind::Unavailable, "unavailable"},
        {FailureKind::Refused, "refused"},
        {FailureKind::LocalFile, "localfile"},
        {FailureKind::Protocol, "protocol"},
        {FailureKind::Other, "other"},
}};

} // namespace

QString failureKindName(FailureKind kind)
{
    for (const auto &[k, name] : kNames) {
        if (k == kind)
            return QLatin1String(name);
    }
    return QStringLiteral("other");
}

FailureKind failureKindFromName(const QString &name)
{
    for (const auto &[k, n] : kNames) {
        if (k != FailureKind::None && name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return k;
    }
    return FailureKind::Other;
}

} // namespace engine
