// SPDX-License-Identifier: MIT
#pragma once

#include "engine/failure_kind.h"
#include "engine/stru_mail.h"
#include "engine/stru_pop3_login.h"
#include "engine/stru_smtp_login.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The mail engine. A window makes one for a single action; it drives the
// mail component late-bound, by class, property and method names, and keeps
// the component's log of its latest transfer. No function throws: failures
// are return values.
class n_orvex {
public:
    // The log of the most recent transfer made through this instance; a null
    // string when none was kept.
    QString is_log;
    // After a failed send: the message had gone out to its end, so the
    // server may have taken it all the same.
    bool ib_maybesent = false;
    // Why the most recent transfer or registration through this instance
    // failed, and the kind of failure; kind None after a success.
    engine::Failure is_failure;
    // What the user must know about a fetch that returned kFetchedEndUnsure:
    // which messages may or may not have been deleted on the server.
    QString is_warning;

    // of_recimail's result when every message asked for was read and saved
    // and their deletion was asked for, but the server never confirmed the
    // end of the session: the records are all there, and the messages may
    // or may not be gone from the server.
    static constexpr int kFetchedEndUnsure = 2;

    // Told once every message asked for was read and handed over, before
    // anything is deleted, to put what it was handed somewhere safe. False,
    // with the reason, keeps every message on the server and fails the fetch.
    using RecordsKept = std::function<bool(QString *reason)>;

    // The component library's self-registration entry points. A library
    // that cannot be loaded or lacks the entry point gives -1.
    long dllregisterserver();
    long dllunregisterserver();

    // Sends one message; 1 when the component reported it sent, -1 otherwise.
    int of_sendmail(stru_smtp_login smtp, stru_mail mail);

    // Replaces every occurrence of ls_old in ls_source by ls_new, left to
    // right, never searching inserted text again.
    QString of_replace(QString ls_source, QString ls_old, QString ls_new);

    // Splits as_text at every as_sep (ASCII letter case ignored) into
    // as_list, which it overwrites; returns the number of pieces (at least 1).
    long of_parse(QString as_text, QString as_sep, QStringList &as_list);

    bool of_register();
    bool of_unregister();

    // Fetches the messages named by index ("0-0" for all, or "m-n") and
    // appends one record per message to mail. 1 on success; see also
    // kFetchedEndUnsure.
    int of_recimail(stru_pop3_login pop3, QList<stru_mail> &mail, QString index);
    // The same fetch, handing each record to `each` as soon as its message
    // is read and its attachments saved, instead of keeping them all: a
    // front end that writes records out needs no memory for the mailbox.
    // Deleting on the server still waits until every message was read, and
    // until `kept` (when given) says the records are safe.
    int of_recimail(stru_pop3_login pop3, const std::function<void(const stru_mail &)> &each, QString index,
                    const RecordsKept &kept = {});

    // After a fetch with stru_pop3_login::onlynew: the unique ids of every
    // message in the mailbox, by message number; empty when the mailbox is
    // empty or the server gives none.
    QStringList is_uids;

    // The log of the last transfer; the empty string when there is none.
    QString of_getlasterror();
};
