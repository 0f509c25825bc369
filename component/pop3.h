#pragma once

#include <QObject>
#include <QString>

namespace component {

// "orvex.POP3": one mailbox connection.
class Pop3 : public QObject {
    Q_OBJECT
    Q_PROPERTY(int timeout MEMBER m_timeout)
    Q_PROPERTY(bool logging MEMBER m_logging)
    Q_PROPERTY(int count READ count)
    Q_PROPERTY(QObject *messages READ messages)
    Q_PROPERTY(QString log READ log)
public:
    explicit Pop3(QObject *parent = nullptr);
    ~Pop3() override;

    // Logs on; false on any failure (the log says why).
    Q_INVOKABLE bool connect(const QString &user, const QString &password, const QString &host, int port);
    // Deletes on the server the messages handed out through `messages` and
    // retrieved in full; the deletion takes effect at disconnect.
    Q_INVOKABLE bool deletemessages();
    // Logs off (QUIT) and closes the connection.
    Q_INVOKABLE bool disconnect();

    int count() const;
    QObject *messages() const;
    QString log() const { return m_log; }

private:
    int m_timeout = 300;
    bool m_logging = false;
    QString m_log;
};

} // namespace component
