// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

// A small component library for the automation tests: objects with
// properties and methods of every kind the handle has to cope with, made by
// the same factory entry point as the mail component.
namespace probe {

class Item : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name MEMBER m_name)
public:
    explicit Item(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}

private:
    QString m_name;
};

class Object : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text MEMBER m_text)
    Q_PROPERTY(int number MEMBER m_number)
    Q_PROPERTY(bool flag MEMBER m_flag)
    Q_PROPERTY(QString constant READ constant)
    Q_PROPERTY(QString faulty READ faulty WRITE setFaulty)
    Q_PROPERTY(QObject *child READ child)
public:
    explicit Object(QObject *parent = nullptr);

    QString constant() const { return QStringLiteral("fixed"); }
    QString faulty();
    void setFaulty(const QString &value);
    QObject *child() const { return m_child; }

    Q_INVOKABLE int Add(int a, int b) { return a + b; }
    Q_INVOKABLE QString join(const QString &a, const QString &b) { return a + b; }
    Q_INVOKABLE QVariant echo(const QVariant &value) { return value; }
    Q_INVOKABLE QString describe(int n) { return QStringLiteral("number %1").arg(n); }
    Q_INVOKABLE QString describe(QObject *object) { return object ? QStringLiteral("object") : QStringLiteral("none"); }
    Q_INVOKABLE void touch() { ++m_number; }
    // Raises an error inside the call and returns false, as a component
    // does when an operation fails.
    Q_INVOKABLE bool fail(const QString &why);
    Q_INVOKABLE int explode();

private:
    QString m_text;
    int m_number = 0;
    bool m_flag = false;
    Item *m_child;
};

// A collection numbered from 1, like a mailbox's messages.
class List : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count)
public:
    explicit List(QObject *parent = nullptr);
    int count() const { return int(m_items.size()); }
    Q_INVOKABLE QObject *item(int n);

private:
    QList<Item *> m_items;
};

} // namespace probe
