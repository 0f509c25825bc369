// SPDX-License-Identifier: MIT
#include "cli/seen_messages.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

namespace {

QString stateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is not to be used: it would follow the
    // current folder.
    const QString base = !state.isEmpty() && QDir::isAbsolutePath(state)
                             ? state
                             : QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(base).filePath(QStringLiteral("orvex"));
}

} // namespace

SeenMessages::SeenMessages(const QString &user, const QString &server, quint16 port)
{
    // "user@host:port" with every character that could make a path
    // separator or a hidden name percent-encoded.
    const QString account = QStringLiteral("%1@%2:%3").arg(user, server).arg(port);
    m_path = QDir(stateFolder())
                 .filePath(QStringLiteral("seen-") + QString::fromLatin1(QUrl::toPercentEncoding(account, "@:")));
}

bool SeenMessages::load(QStringList &uids, QString &error) const
{
    uids.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法读取已收邮件列表 %1：%2").arg(m_path, file.errorString());
        return false;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            uids << QString::fromLatin1(line.trimmed());
    }
    return true;
}

bool SeenMessages::save(const QStringList &uids, QString &error) const
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        error = QStringLiteral("无法建立文件夹 %1").arg(QFileInfo(m_path).absolutePath());
        return false;
    }
    QSaveFile file(m_path);
    QByteArray text;
    for (const QString &uid : uids)
        text += uid.toLatin1() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("无法写入已收邮件列表 %1：%2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

QStringList seenAfterFetch(const QStringList &seenBefore, const QStringList &mailbox, const QStringList &fetched)
{
    const QSet<QString> present(mailbox.cbegin(), mailbox.cend());
    QStringList seen;
    QSet<QString> added;
    for (const QStringList *list : {&seenBefore, &fetched}) {
        for (const QString &uid : *list) {
            if (present.contains(uid) && !added.contains(uid)) {
                seen << uid;
                added.insert(uid);
            }
        }
    }
    return seen;
}
