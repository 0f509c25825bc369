// SPDX-License-Identifier: MIT
#include "bus/bus_errors.h"

#include <QStringList>
#include <utility>

namespace bus::errors {

namespace {

// The component gives its failures as texts, not kinds: the kind is read
// from the words its reasons use. The first matching row wins, so a row
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

} // namespace

QString failureName(const QString &reason)
{
    for (const KindWords &row : kindTable()) {
        for (const QString &word : row.words) {
            if (reason.contains(word, Qt::CaseInsensitive))
                return QStringLiteral("org.orvex.Error.") + QLatin1String(row.kind);
        }
    }
    return QStringLiteral("org.orvex.Error.Failed");
}

} // namespace bus::errors
