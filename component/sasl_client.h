// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

typedef struct Gsasl Gsasl;
typedef struct Gsasl_session Gsasl_session;

namespace component {

// The client side of a SASL exchange (RFC 4422) with a user name and
// password, done by GNU SASL. Challenges and responses are base64 text, as
// SMTP and POP3 carry them.
class SaslClient {
public:
    // Loads GNU SASL for the process, which the first client does too;
    // false when it cannot be loaded (logons then do without SASL).
    static bool loadLibrary();

    SaslClient();
    ~SaslClient();
    SaslClient(const SaslClient &) = delete;
    SaslClient &operator=(const SaslClient &) = delete;

    // The strongest mechanism of `offered` that GNU SASL can do with a user
    // name and password; empty when there is none.
    QByteArray chooseMechanism(const QList<QByteArray> &offered) const;

    // The mechanisms to try, in turn, until the server accepts one: the
    // strongest first; when that one proves the password by challenge and
    // response and the link is encrypted, then PLAIN and LOGIN where both
    // sides know them. Servers that keep only hashed passwords often offer
    // CRAM-MD5 or SCRAM and then refuse every password through them; the
    // password itself is safe inside TLS.
    QList<QByteArray> mechanismsToTry(const QList<QByteArray> &offered, bool encrypted) const;

    // How one logon attempt ended: refused means the server turned the
    // credentials down and the session is still open for another try.
    enum class Attempt { Accepted, Refused, Failed };
    // Runs `attempt` with each of `mechanisms` in turn for as long as the
    // server refuses, noting each change of mechanism through `log`;
    // `tried` gets the mechanisms used, for the message that ends it all.
    static Attempt tryInTurn(const QList<QByteArray> &mechanisms,
                             const std::function<Attempt(const QByteArray &)> &attempt,
                             const std::function<void(const QString &)> &log, QStringList &tried);

    // Starts an exchange; `service` is "smtp" or "pop", `host` the server.
    bool start(const QByteArray &mechanism, const QString &user, const QString &password, const QByteArray &service,
               const QString &host);

    enum class Step { Continue, Done, Failed };
    // Answers one server challenge (base64, possibly empty). On Continue
    // and Done, `response` holds what to send (base64, possibly empty).
    Step step(const QByteArray &challenge, QByteArray &response);

    QString errorText() const { return m_error; }

private:
    Gsasl *m_context = nullptr;
    Gsasl_session *m_session = nullptr;
    QString m_error;
};

} // namespace component
