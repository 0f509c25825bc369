// SPDX-License-Identifier: MIT
#pragma once

#include "compose/w_sendmail.h"
#include "engine/n_orvex.h"

#include <QList>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The compose form with its engine call watched: every pair of records the
// send action hands over is kept. Real engine mode passes them on to the
// engine; otherwise nothing is sent and the send reports failure.
class WatchedSendmail : public w_sendmail {
public:
    enum class Engine { None, Real };
    struct Handover {
        stru_smtp_login smtp;
        stru_mail mail;
    };

    explicit WatchedSendmail(Engine engine = Engine::None) : m_engine(engine) {}

    QList<Handover> handovers;

    template <typename T = QWidget>
    T *child(const char *name) const
    {
        T *found = findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    void press(const char *button) { child<QPushButton>(button)->click(); }
    QString log() const { return child<QPlainTextEdit>("mle_2")->toPlainText(); }

protected:
    int sendThroughEngine(n_orvex &ln_orvex, const stru_smtp_login &smtp, const stru_mail &mail) override
    {
        handovers.append({smtp, mail});
        return m_engine == Engine::Real ? w_sendmail::sendThroughEngine(ln_orvex, smtp, mail) : -1;
    }

private:
    Engine m_engine;
};
