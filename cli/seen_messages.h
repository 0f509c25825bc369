// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The unique ids (UIDL) of the messages of one mailbox that earlier fetches
// brought, for `fetch --only-new`: one file per account in
// $XDG_STATE_HOME/orvex/ (~/.local/state/orvex/ by default), one id a line.
class SeenMessages {
public:
    SeenMessages(const QString &user, const QString &server, quint16 port);

    QString path() const { return m_path; }
    // The ids kept; none when the file is not there yet. False, with the
    // reason in `error`, when it is there and cannot be read.
    bool load(QStringList &uids, QString &error) const;
    // Replaces the list at once (a new file renamed over the old, flushed
    // to disk), so that a crash leaves the old list or the new one.
    bool save(const QStringList &uids, QString &error) const;

private:
    QString m_path;
};

// The list after a fetch: the ids seen before that are still in the
// mailbox (`mailbox`, the ids the server listed), and those just fetched
// and left on the server.
QStringList seenAfterFetch(const QStringList &seenBefore, const QStringList &mailbox, const QStringList &fetched);
