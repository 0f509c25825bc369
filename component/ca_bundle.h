// SPDX-License-Identifier: MIT
#pragma once

#include <QSslConfiguration>
#include <QString>
#include <optional>

namespace component {

// The default TLS configuration, trusting the certificates of a CA bundle
// (PEM) besides the system store. Parsing the bundle is part of every
// connection's TLS set-up, so it may be done ahead, off the connection's
// thread: configurationTrusting() then takes the configuration made ahead
// while the file is as it was, and reads the file itself otherwise. Both
// are safe from any thread.
void prepareConfigurationTrusting(const QString &path);
// Empty when the bundle cannot be read or holds no certificate.
std::optional<QSslConfiguration> configurationTrusting(const QString &path);

} // namespace component
