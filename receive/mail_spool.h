// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// Message bodies kept on disk instead of in memory: a file per body in a
// folder only this user can enter (mode 0700), named after the process so
// that a later start can tell a folder whose process is gone. The folder is
// made with the first body and removed with the spool or by clear().
// One thread writes; any thread may read an entry it knows is stored.
class mail_spool {
public:
    // The folders are made in `baseFolder`; empty: the system's temporary
    // folder.
    explicit mail_spool(const QString &baseFolder = QString());
    ~mail_spool();
    mail_spool(const mail_spool &) = delete;
    mail_spool &operator=(const mail_spool &) = delete;

    // Writes `text` as entry `key`, replacing what it held: in UTF-8, or
    // in UTF-16 when the text holds half of a surrogate pair, so that it
    // reads back exactly as it was. False, with the reason in *error, when
    // it cannot be written whole (no folder, disk full): the caller then
    // keeps the text itself.
    bool store(qint64 key, const QString &text, QString *error);
    // Entry `key` of the spool whose folder is `folder`, as it was stored;
    // nothing, with the reason in *error, when it cannot be read.
    static std::optional<QString> load(const QString &folder, qint64 key, QString *error);
    // Removes every entry and the folder.
    void clear();
    // The folder, or empty while there is none.
    QString folder() const;

    // The start of every spool folder's name.
    static QString folderPrefix();
    // Removes the spool folders in `baseFolder` (empty: the system's
    // temporary folder) that belong to this user and to a process that no
    // longer runs: what a crash left behind.
    static void removeAbandoned(const QString &baseFolder = QString());

private:
    bool makeFolder(QString *error);
    static QString entryPath(const QString &folder, qint64 key);

    QString m_base;
    std::unique_ptr<QTemporaryDir> m_folder;
};
