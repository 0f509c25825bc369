// SPDX-License-Identifier: MIT
#include "engine/server_field.h"

#include <QRegularExpression>

namespace engine {

namespace {

struct SplitField {
    QString host;
    std::optional<QString> portText; // none when the field names no port
};

// "scheme://host:port", "host:port" or "[v6]:port". A bare IPv6 address
// ("::1") has colons but no port; it is left whole.
SplitField splitField(const QString &field)
{
    static const QRegularExpression withPort(
            QStringLiteral("^(\\s*(?:[A-Za-z][A-Za-z0-9+.-]*://)?(?:\\[[^\\]]*\\]|[^:\\[\\]]*)):([^:/]*)$"));
    const QRegularExpressionMatch match = withPort.match(field);
    if (!match.hasMatch())
        return {field, std::nullopt};
    return {match.captured(1), match.captured(2).trimmed()};
}

} // namespace

std::optional<ServerField> resolveServerField(const QString &field, quint16 port, quint16 defaultPort, QString *error)
{
    const SplitField split = splitField(field);
    if (!split.portText)
        return ServerField{field, port == 0 ? defaultPort : port};

    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const int written = split.portText->toInt();
    if (!digits.match(*split.portText).hasMatch() || written > 65535) {
        *error = QStringLiteral("服务器地址“%1”中的端口“%2”无效").arg(field, *split.portText);
        return std::nullopt;
    }
    if (written == 0) // ":0" is the protocol's way of saying "the usual port"
        return ServerField{split.host, port == 0 ? defaultPort : port};
    if (port != 0 && port != written) {
        *error = QStringLiteral("服务器地址“%1”写明了端口 %2，与另给的端口 %3 不一致，请只写一个或改成相同的端口")
                         .arg(field)
                         .arg(written)
                         .arg(port);
        return std::nullopt;
    }
    return ServerField{split.host, quint16(written)};
}

quint16 defaultPortFor(const QString &field, quint16 plain, const QString &secureScheme, quint16 secure)
{
    return field.trimmed().startsWith(secureScheme + QStringLiteral("://"), Qt::CaseInsensitive) ? secure : plain;
}

quint16 portFromField(const QString &text, bool editedByUser, quint16 defaultPort)
{
    if (!editedByUser && text.trimmed() == QString::number(defaultPort))
        return 0;
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    return ok && port >= 1 && port <= 65535 ? quint16(port) : quint16(0);
}

} // namespace engine
