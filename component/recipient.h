// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace component {

// One recipient of a fetched message.
class Recipient : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString email READ email WRITE setEmail)
    Q_PROPERTY(QString name READ name WRITE setName)
public:
    explicit Recipient(QObject *parent = nullptr) : QObject(parent) {}
    QString email() const { return m_email; }
    void setEmail(const QString &email) { m_email = email; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

private:
    QString m_email;
    QString m_name;
};

} // namespace component
