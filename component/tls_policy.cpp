// SPDX-License-Identifier: MIT
#include "component/tls_policy.h"

#include <QRegularExpression>

namespace component {

QByteArray parseSha256Fingerprint(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^(?:[0-9A-Fa-f]{2}:){31}[0-9A-Fa-f]{2}$|^[0-9A-Fa-f]{64}$"));
    const QString trimmed = text.trimmed();
    if (!hex.match(trimmed).hasMatch())
        return {};
    return QByteArray::fromHex(trimmed.toLatin1().replace(':', QByteArray()));
}

QString fingerprintText(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

std::optional<TlsPolicy> tlsPolicyFrom(const QString &tls, const QString &fingerprint, const QString &caFile,
                                       QString *error)
{
    TlsPolicy policy;
    const QString mode = tls.trimmed().toLower();
    if (mode == QLatin1String("required")) {
        policy.required = true;
    } else if (!mode.isEmpty() && mode != QLatin1String("opportunistic")) {
        *error = QStringLiteral("TLS 要求“%1”无法识别（应为 required 或 opportunistic）").arg(tls);
        return std::nullopt;
    }
    if (!fingerprint.trimmed().isEmpty()) {
        policy.fingerprint = parseSha256Fingerprint(fingerprint);
        if (policy.fingerprint.isEmpty()) {
            *error = QStringLiteral("证书指纹“%1”不是 SHA-256 指纹（64 位十六进制数）").arg(fingerprint);
            return std::nullopt;
        }
    }
    policy.caFile = caFile;
    return policy;
}

} // namespace component
