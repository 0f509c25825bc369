// SPDX-License-Identifier: MIT
#include "bus/bus_errors.h"

#include <QStringList>

#include <algorithm>

namespace bus::errors {

namespace {

// For a failure the component did not name a kind for, the kind is read
// from the words its reason uses. The first matching row wins, so a row
// for a more telling word comes before a vaguer one ("登录" before "拒绝").
struct KindWords {
    const char *kind;
    QStringList words;
};

const QList<KindWords> &kindTable()
{
    static const QList<KindWords> table{
            {"Abandoned", {QStringLiteral("传输中止"), QStringLiteral("已取消")}},
            {"Timeout", {QStringLiteral("超时"), QStringLiteral("过慢")}},
            {"Tls", {QStringLiteral("证书"), QStringLiteral("TLS"), QStringLiteral("加密")}},
            {"Authentication",
             {QStringLiteral("登录"), QStringLiteral("身份验证"), QStringLiteral("用户名"), QStringLiteral("密码")}},
            {"Connection",
             {QStringLiteral("无法连接"), QStringLiteral("连接中断"), QStringLiteral("关闭了连接"),
              QStringLiteral("连接已断开"), QStringLiteral("没有登录")}},
            {"File", {QStringLiteral("文件"), QStringLiteral("附件"), QStringLiteral("写入"), QStringLiteral("磁盘")}},
            {"Refused", {QStringLiteral("拒绝"), QStringLiteral("不接受"), QStringLiteral("收件人"), QStringLiteral("发件人")}},
    };
    return table;
}

bool saysAnyOf(const QString &reason, const QStringList &words)
{
    return std::any_of(words.cbegin(), words.cend(),
                       [&reason](const QString &word) { return reason.contains(word, Qt::CaseInsensitive); });
}

const char *kindFromWords(const QString &reason)
{
    for (const KindWords &row : kindTable()) {
        if (saysAnyOf(reason, row.words))
            return row.kind;
    }
    return "Failed";
}

// The error kind for the component's name of a failure. The component
// counts a time-out as a connection failure and an abandoned transfer as
// "other"; the bus keeps both apart, as it always has.
const char *kindFromComponent(const QString &kind, const QString &reason)
{
    if (kind == QLatin1String("authentication"))
        return "Authentication";
    if (kind == QLatin1String("tls"))
        return "Tls";
    if (kind == QLatin1String("connection") || kind == QLatin1String("unknownhost"))
        return saysAnyOf(reason, {QStringLiteral("超时"), QStringLiteral("过慢")}) ? "Timeout" : "Connection";
    if (kind == QLatin1String("refused") || kind == QLatin1String("unavailable"))
        return "Refused";
    if (kind == QLatin1String("localfile"))
        return "File";
    if (kind == QLatin1String("other") && saysAnyOf(reason, {QStringLiteral("传输中止"), QStringLiteral("已取消")}))
        return "Abandoned";
    return "Failed";
}

} // namespace

QString failureName(const QString &kind, const QString &reason)
{
    const char *name = kind.isEmpty() ? kindFromWords(reason) : kindFromComponent(kind, reason);
    return QStringLiteral("org.orvex.Error.") + QLatin1String(name);
}

} // namespace bus::errors
