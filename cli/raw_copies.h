// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stru_mail.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// Keeps a copy of every fetched message as the server sent it, in a Maildir
// or appended to an mbox file, so that a fetch loses nothing the JSON
// record leaves out.
//
// The engine has the component write each message into scratchFolder();
// keep() then delivers it: into the Maildir's new/ (the file was written
// and flushed in tmp/, the Maildir way), or appended to the mbox under a
// lock (mboxrd quoting, LF line ends). makeDurable() flushes what keep()
// did to disk; only after it returned true may a message leave the server.
class RawCopies {
public:
    static std::unique_ptr<RawCopies> forMaildir(const QString &folder);
    static std::unique_ptr<RawCopies> forMbox(const QString &path);
    ~RawCopies();

    // Where the component writes each message first; empty when it cannot
    // be had (see error()).
    QString scratchFolder() const;
    // Delivers the raw copy record.rawfile names. A failure is kept: every
    // later call fails with it.
    void keep(const stru_mail &record);
    bool makeDurable(QString &reason);
    QString error() const { return m_error; }

private:
    RawCopies() = default;
    bool deliverToMaildir(const QString &file);
    bool appendToMbox(const QString &file, const QString &sender);

    QString m_maildir;
    QString m_mbox;
    std::unique_ptr<QTemporaryDir> m_scratch;  // mbox: the messages before they are appended
    int m_mboxFd = -1;
    bool m_delivered = false;
    QString m_error;
};
