// SPDX-License-Identifier: MIT
#include "cli/netrc.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace {

// The words of the file: runs of non-blank characters, or text in double
// quotes (with backslash escapes); a "macdef" body, which runs to the next
// empty line, is left out.
QStringList netrcTokens(const QString &text)
{
    QStringList tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        QString token;
        if (text.at(i) == QLatin1Char('"')) {
            for (++i; i < n && text.at(i) != QLatin1Char('"'); ++i) {
                if (text.at(i) == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                token += text.at(i);
            }
            ++i;
        } else {
            while (i < n && !text.at(i).isSpace())
                token += text.at(i++);
        }
        if (token == QLatin1String("macdef")) {
            const qsizetype end = text.indexOf(QLatin1String("\n\n"), i);
            i = end < 0 ? n : end + 2;
            continue;
        }
        tokens << token;
    }
    return tokens;
}

struct NetrcEntry {
    QString machine;  // empty for "default"
    bool isDefault = false;
    QString login;
    QString password;
    bool hasPassword = false;
};

QList<NetrcEntry> netrcEntries(const QStringList &tokens)
{
    QList<NetrcEntry> entries;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString &word = tokens.at(i);
        if (word == QLatin1String("machine") || word == QLatin1String("default")) {
            NetrcEntry entry;
            entry.isDefault = word == QLatin1String("default");
            if (!entry.isDefault)
                entry.machine = tokens.value(++i);
            entries << entry;
        } else if (!entries.isEmpty() && word == QLatin1String("login")) {
            entries.last().login = tokens.value(++i);
        } else if (!entries.isEmpty() && word == QLatin1String("password")) {
            entries.last().password = tokens.value(++i);
            entries.last().hasPassword = true;
        } else if (word == QLatin1String("account")) {
            ++i;
        }
    }
    return entries;
}

bool othersMayRead(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

} // namespace

std::optional<QString> netrcPassword(const QString &path, const QString &host, const QString &user,
                                     QString &warning)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (othersMayRead(path)) {
        warning = QStringLiteral("警告：%1 可被其他用户读取，其中的密码不用（请执行 chmod 600 %1）。").arg(path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<NetrcEntry> entries = netrcEntries(netrcTokens(QString::fromUtf8(file.readAll())));
    auto fits = [&](const NetrcEntry &entry) {
        return entry.hasPassword && (entry.login.isEmpty() || entry.login == user);
    };
    for (const NetrcEntry &entry : entries) {
        if (!entry.isDefault && entry.machine.compare(host, Qt::CaseInsensitive) == 0 && fits(entry))
            return entry.password;
    }
    for (const NetrcEntry &entry : entries) {
        if (entry.isDefault && fits(entry))
            return entry.password;
    }
    return std::nullopt;
}
