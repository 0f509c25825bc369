// SPDX-License-Identifier: MIT
#include "component/server_address.h"

#include <QRegularExpression>

namespace component {

QString ServerAddress::display() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1:%2").arg(shownHost).arg(port);
}

namespace {

bool takeScheme(QString &rest, const QString &scheme)
{
    const QString prefix = scheme + QStringLiteral("://");
    if (!rest.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    rest = rest.mid(prefix.size());
    return true;
}

} // namespace

std::optional<ServerAddress> parseServerAddress(const QString &text, const ServerSchemes &schemes, QString *error)
{
    ServerAddress address;
    QString rest = text.trimmed();
    bool secureScheme = false;
    if (takeScheme(rest, schemes.secureScheme))
        secureScheme = true;
    else if (takeScheme(rest, schemes.plainScheme))
        address.plainTextRequested = true;

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *error = QStringLiteral("服务器地址“%1”不完整").arg(text);
            return std::nullopt;
        }
        address.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (after.startsWith(QLatin1Char(':')))
            portText = after.mid(1);
        else if (!after.isEmpty() && after != QLatin1String("/")) {
            *error = QStringLiteral("服务器地址“%1”无法识别").arg(text);
            return std::nullopt;
        }
    } else {
        const int colon = rest.lastIndexOf(QLatin1Char(':'));
        address.host = colon < 0 ? rest : rest.left(colon);
        portText = colon < 0 ? QString() : rest.mid(colon + 1);
        // "host/:port" as written by someone who thinks in URLs.
        if (address.host.endsWith(QLatin1Char('/')))
            address.host.chop(1);
    }
    address.host = address.host.trimmed();
    static const QRegularExpression hostChars(QStringLiteral("^[^\\s/\\\\@?#<>\"'`;,]+$"));
    if (address.host.isEmpty() || !hostChars.match(address.host).hasMatch()) {
        *error = QStringLiteral("服务器地址“%1”中没有有效的主机名").arg(text);
        return std::nullopt;
    }

    portText = portText.trimmed();
    int port = 0;
    if (!portText.isEmpty()) {
        bool ok = false;
        port = portText.toInt(&ok);
        if (!ok || port < 0 || port > 65535) {
            *error = QStringLiteral("服务器地址“%1”中的端口无效").arg(text);
            return std::nullopt;
        }
    }
    address.port = port != 0 ? quint16(port) : secureScheme ? schemes.implicitTlsPort : schemes.defaultPort;
    // The TLS port means TLS unless the user explicitly asked for plain text.
    address.implicitTls = secureScheme || (address.port == schemes.implicitTlsPort && !address.plainTextRequested);
    return address;
}

} // namespace component
