// SPDX-License-Identifier: MIT
#pragma once

#include "receive/mail_spool.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>

// Writes message bodies into a mail_spool on a thread of its own, so that
// making files never holds up the window: one file creation can take a
// hundred milliseconds on a busy disk.
//
// The list that owns it numbers its contents by generation: every clear
// starts a new one. Bodies of a generation that was cleared are no longer
// written, and their folder goes with the next clear(), which is queued
// behind them; so a late write can never bring a cleared folder back.
//
// The writer outlives its owner: removing a spool of a hundred thousand
// files takes seconds, which the owner's window should not wait for.
class spool_writer : public QObject {
    Q_OBJECT
public:
    struct Body {
        int row = 0;
        qint64 key = 0;
        QString text;
    };

    // A writer on a thread of its own. The thread belongs to the
    // application, whose end waits for it.
    static spool_writer *start();
    // Called by the owner, which lets go of the writer: it writes nothing
    // more, then removes its spool's folder and ends with its thread, in
    // the background. The program's end waits for a removal still running;
    // a folder a crash leaves goes with the next start's sweep.
    void release();

    // Called from any thread: bodies of `generation` and earlier are no
    // longer wanted, the one being written is the last.
    void forget(quint64 generation) { m_forgotten.store(generation); }

    // Runs on the writer's thread, queued: writes the bodies in order and
    // reports each one by written(), with the spool's folder. A body that
    // could not be written whole is left out of the spool and reported with
    // the reason.
    void write(quint64 generation, QList<Body> bodies);
    // Runs on the writer's thread, queued: removes every entry and the
    // folder.
    void clear();

signals:
    void written(quint64 generation, int row, qint64 key, bool stored, const QString &folderOrError);

private:
    bool forgotten(quint64 generation) const { return generation <= m_forgotten.load(); }

    mail_spool m_spool;
    std::atomic<quint64> m_forgotten{0};
};
