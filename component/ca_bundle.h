// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace component {

// The certificates of a CA bundle (PEM) named to be trusted besides the
// system store. Parsing it is part of every connection's TLS set-up, so it
// may be done ahead, off the connection's thread: readCaBundle() then takes
// the certificates read ahead while the file is as it was, and reads the
// file itself otherwise. Both are safe from any thread.
void readCaBundleAhead(const QString &path);
// The bundle's certificates; empty when it cannot be read or holds none.
QList<QSslCertificate> readCaBundle(const QString &path);

} // namespace component
