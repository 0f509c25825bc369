// SPDX-License-Identifier: MIT
#include "component/sasl_client.h"

#include <gsasl.h>

#include <algorithm>
#include <dlfcn.h>
#include <mutex>

namespace component {

namespace {

// The component library is linked without GNU SASL: its calls are bound on
// first use, to the library opened here into the global scope. False when
// it cannot be opened; logons then do without SASL.
bool loadGsasl()
{
    static std::once_flag once;
    static bool loaded = false;
    std::call_once(once, [] { loaded = dlopen(ORVEX_GSASL_LIBRARY, RTLD_NOW | RTLD_GLOBAL) != nullptr; });
    return loaded;
}

// Mechanisms that work with nothing but a user name and password. Others
// need what we do not have (Kerberos tickets, OAuth tokens, client
// certificates, TLS channel bindings) or are obsolete (DIGEST-MD5).
const char *const kPasswordMechanisms[] = {"SCRAM-SHA-256", "SCRAM-SHA-1", "CRAM-MD5", "PLAIN", "LOGIN"};

} // namespace

bool SaslClient::loadLibrary()
{
    return loadGsasl();
}

SaslClient::SaslClient()
{
    if (!loadGsasl() || gsasl_init(&m_context) != GSASL_OK)
        m_context = nullptr;
}

SaslClient::~SaslClient()
{
    if (m_session)
        gsasl_finish(m_session);
    if (m_context)
        gsasl_done(m_context);
}

QByteArray SaslClient::chooseMechanism(const QList<QByteArray> &offered) const
{
    if (!m_context)
        return {};
    QByteArray usable;
    for (const char *mechanism : kPasswordMechanisms) {
        for (const QByteArray &candidate : offered) {
            if (candidate.compare(mechanism, Qt::CaseInsensitive) == 0 && gsasl_client_support_p(m_context, mechanism)) {
                usable += mechanism;
                usable += ' ';
            }
        }
    }
    if (usable.isEmpty())
        return {};
    const char *suggested = gsasl_client_suggest_mechanism(m_context, usable.trimmed().constData());
    return suggested ? QByteArray(suggested) : QByteArray();
}

QList<QByteArray> SaslClient::mechanismsToTry(const QList<QByteArray> &offered, bool encrypted) const
{
    const QByteArray first = chooseMechanism(offered);
    if (first.isEmpty())
        return {};
    QList<QByteArray> mechanisms{first};
    const bool challengeResponse = first != "PLAIN" && first != "LOGIN";
    if (!challengeResponse || !encrypted)
        return mechanisms;
    for (const char *fallback : {"PLAIN", "LOGIN"}) {
        const bool bothKnow = gsasl_client_support_p(m_context, fallback)
                              && std::any_of(offered.cbegin(), offered.cend(), [fallback](const QByteArray &name) {
                                     return name.compare(fallback, Qt::CaseInsensitive) == 0;
                                 });
        if (bothKnow)
            mechanisms << fallback;
    }
    return mechanisms;
}

SaslClient::Attempt SaslClient::tryInTurn(const QList<QByteArray> &mechanisms,
                                          const std::function<Attempt(const QByteArray &)> &attempt,
                                          const std::function<void(const QString &)> &log, QStringList &tried)
{
    Attempt outcome = Attempt::Failed;
    for (const QByteArray &mechanism : mechanisms) {
        if (!tried.isEmpty())
            log(QStringLiteral("服务器拒绝了 %1 方式的登录，改用 %2").arg(tried.last(), QString::fromLatin1(mechanism)));
        tried << QString::fromLatin1(mechanism);
        outcome = attempt(mechanism);
        if (outcome != Attempt::Refused)
            break;
    }
    return outcome;
}

bool SaslClient::start(const QByteArray &mechanism, const QString &user, const QString &password,
                       const QByteArray &service, const QString &host)
{
    if (!m_context) {
        m_error = QStringLiteral("身份验证库无法初始化");
        return false;
    }
    if (m_session) {
        gsasl_finish(m_session);
        m_session = nullptr;
    }
    const int rc = gsasl_client_start(m_context, mechanism.constData(), &m_session);
    if (rc != GSASL_OK) {
        m_session = nullptr;
        m_error = QStringLiteral("无法使用身份验证方式 %1：%2")
                      .arg(QString::fromLatin1(mechanism), QString::fromUtf8(gsasl_strerror(rc)));
        return false;
    }
    gsasl_property_set(m_session, GSASL_AUTHID, user.toUtf8().constData());
    gsasl_property_set(m_session, GSASL_PASSWORD, password.toUtf8().constData());
    gsasl_property_set(m_session, GSASL_SERVICE, service.constData());
    gsasl_property_set(m_session, GSASL_HOSTNAME, host.toUtf8().constData());
    return true;
}

SaslClient::Step SaslClient::step(const QByteArray &challenge, QByteArray &response)
{
    response.clear();
    if (!m_session) {
        m_error = QStringLiteral("身份验证尚未开始");
        return Step::Failed;
    }
    char *output = nullptr;
    const int rc = gsasl_step64(m_session, challenge.constData(), &output);
    if (output) {
        response = QByteArray(output);
        gsasl_free(output);
    }
    if (rc == GSASL_OK)
        return Step::Done;
    if (rc == GSASL_NEEDS_MORE)
        return Step::Continue;
    m_error = QStringLiteral("身份验证失败：%1").arg(QString::fromUtf8(gsasl_strerror(rc)));
    return Step::Failed;
}

} // namespace component
