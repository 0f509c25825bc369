// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace component {

// What a connection demands of TLS beyond the defaults (STARTTLS or STLS
// whenever the server offers it, certificates checked against the system
// store and ORVEX_CA_FILE).
struct TlsPolicy {
    // No encryption, no transfer: a server that offers none is left before
    // any command that carries mail or a secret.
    bool required = false;
    // SHA-256 of the server certificate (32 bytes): that certificate is
    // trusted whoever issued it, and no other is. Empty: none pinned.
    QByteArray fingerprint;
    // An extra CA bundle (PEM) in place of ORVEX_CA_FILE; empty: that one.
    QString caFile;
};

// The policy the automation properties describe: `tls` is "opportunistic"
// (or empty) or "required"; `fingerprint` is 64 hexadecimal digits, pairs
// optionally separated by ":". Empty, with the reason in `error`, for
// values that mean nothing.
std::optional<TlsPolicy> tlsPolicyFrom(const QString &tls, const QString &fingerprint, const QString &caFile,
                                       QString *error);

// 32 bytes for a SHA-256 fingerprint written in hexadecimal ("AB:CD:..." or
// "abcd..."); empty for anything else.
QByteArray parseSha256Fingerprint(const QString &text);

// "AB:CD:...", as the log shows a fingerprint.
QString fingerprintText(const QByteArray &digest);

} // namespace component
