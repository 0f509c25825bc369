// SPDX-License-Identifier: MIT
#pragma once

// A recording stand-in for the mail component, built as its own shared
// library and registered under the component's six class names. Every
// property read and write, every method call, every creation and release
// goes into one journal, in order, so that tests can check exactly how the
// engine drives the component. What the component answers is scripted.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace fake {

struct ScriptedAttachment {
    QString name;
    QByteArray content;
};

struct ScriptedMessage {
    QString from;
    QString fromname;
    QVariant date;
    QStringList recipients;
    QString subject;
    QString htmlbody;
    QString body;
    QList<ScriptedAttachment> attachments;
};

struct Script {
    QList<ScriptedMessage> mailbox;  // POP3 "messages", numbered from 1
    bool connectResult = true;
    bool deleteResult = true;      // what "deletemessages" returns
    bool disconnectResult = true;  // what "disconnect" returns
    bool sendResult = true;
    QString log = QStringLiteral("component log");
    QStringList refusedClasses;  // class names the factory does not make
    // "<label>.<member>" or "<kind>.<member>" (member in lower case) -> the
    // error the object raises in that call, e.g. "Message.send" or
    // "Message2.Attachment0.savetofile".
    QHash<QString, QString> errors;
    // Attachments (by label) whose "savetofile" returns false without
    // writing or raising anything.
    QStringList refusedSaves;
};

// Journal entries:
//   "new orvex.POP3"          an object made by the factory
//   "release POP3"            a factory-made object deleted
//   "POP3.count"              a property read
//   "Message.charset=gb2312"  a property write
//   "Message.send(host:25)"   a method call, arguments joined by ", "
FAKE_EXPORT Script &script();
FAKE_EXPORT QStringList &journal();
// Empties the journal and restores the default script.
FAKE_EXPORT void reset();

// Common base: a kind (the class without "orvex."), a label naming this
// very object, and the recording helpers.
class FakeObject : public QObject {
public:
    FakeObject(const QString &kind, const QString &label, QObject *parent);
    ~FakeObject() override;

    QString kind() const { return m_kind; }
    QString label() const { return m_label; }
    void setMadeByFactory() { m_madeByFactory = true; }
    // Gives a member its value without a journal entry.
    void seed(const char *member, const QVariant &value) { m_values.insert(QLatin1String(member), value); }

protected:
    QVariant read(const char *member) const;
    void write(const char *member, const QVariant &value);
    // Records a call; false when the script makes it raise an error.
    bool recordCall(const char *member, const QVariantList &args = {});
    bool raisesIn(const QString &member);

    QVariantHash m_values;

private:
    QString m_kind;
    QString m_label;
    bool m_madeByFactory = false;
};

class FakeRecipient : public FakeObject {
    Q_OBJECT
    Q_PROPERTY(QString email READ email WRITE setEmail)
    Q_PROPERTY(QString name READ name WRITE setName)
public:
    FakeRecipient(const QString &label, QObject *parent = nullptr) : FakeObject("Recipient", label, parent) {}
    QString email() const { return read("email").toString(); }
    void setEmail(const QString &v) { write("email", v); }
    QString name() const { return read("name").toString(); }
    void setName(const QString &v) { write("name", v); }
};

class FakeAttachment : public FakeObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName)
public:
    FakeAttachment(const QString &label, QObject *parent = nullptr) : FakeObject("Attachment", label, parent) {}
    QString name() const { return read("name").toString(); }
    void setName(const QString &v) { write("name", v); }
    Q_INVOKABLE bool savetofile(const QString &path);

    QByteArray content;
};

// Recipients, Attachments (numbered from 0) and the POP3 messages
// (numbered from 1).
class FakeCollection : public FakeObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count)
public:
    FakeCollection(const QString &kind, const QString &label, int firstIndex, QObject *parent = nullptr)
        : FakeObject(kind, label, parent), m_firstIndex(firstIndex)
    {
    }
    int count() const;
    Q_INVOKABLE QObject *item(int index);
    void add(QObject *element) { m_items.append(element); }

private:
    int m_firstIndex;
    QList<QObject *> m_items;
};

class FakeMessage : public FakeObject {
    Q_OBJECT
    Q_PROPERTY(QString charset READ charset WRITE setCharset)
    Q_PROPERTY(bool silent READ silent WRITE setSilent)
    Q_PROPERTY(bool logging READ logging WRITE setLogging)
    Q_PROPERTY(int priority READ priority WRITE setPriority)
    Q_PROPERTY(bool returnreceipt READ returnreceipt WRITE setReturnreceipt)
    Q_PROPERTY(QString from READ from WRITE setFrom)
    Q_PROPERTY(QString fromname READ fromname WRITE setFromname)
    Q_PROPERTY(QString htmlbody READ htmlbody WRITE setHtmlbody)
    Q_PROPERTY(QString body READ body WRITE setBody)
    Q_PROPERTY(QString subject READ subject WRITE setSubject)
    Q_PROPERTY(QString mailserverusername READ mailserverusername WRITE setMailserverusername)
    Q_PROPERTY(QString mailserverpassword READ mailserverpassword WRITE setMailserverpassword)
    Q_PROPERTY(QVariant date READ date)
    Q_PROPERTY(QString log READ log)
    Q_PROPERTY(QObject *recipients READ recipients)
    Q_PROPERTY(QObject *attachments READ attachments)
public:
    FakeMessage(const QString &label, QObject *parent = nullptr);
    // A fetched message, filled from the script.
    FakeMessage(const QString &label, const ScriptedMessage &scripted, QObject *parent);

    QString charset() const { return read("charset").toString(); }
    void setCharset(const QString &v) { write("charset", v); }
    bool silent() const { return read("silent").toBool(); }
    void setSilent(bool v) { write("silent", v); }
    bool logging() const { return read("logging").toBool(); }
    void setLogging(bool v) { write("logging", v); }
    int priority() const { return read("priority").toInt(); }
    void setPriority(int v) { write("priority", v); }
    bool returnreceipt() const { return read("returnreceipt").toBool(); }
    void setReturnreceipt(bool v) { write("returnreceipt", v); }
    QString from() const { return read("from").toString(); }
    void setFrom(const QString &v) { write("from", v); }
    QString fromname() const { return read("fromname").toString(); }
    void setFromname(const QString &v) { write("fromname", v); }
    QString htmlbody() const { return read("htmlbody").toString(); }
    void setHtmlbody(const QString &v) { write("htmlbody", v); }
    QString body() const { return read("body").toString(); }
    void setBody(const QString &v) { write("body", v); }
    QString subject() const { return read("subject").toString(); }
    void setSubject(const QString &v) { write("subject", v); }
    QString mailserverusername() const { return read("mailserverusername").toString(); }
    void setMailserverusername(const QString &v) { write("mailserverusername", v); }
    QString mailserverpassword() const { return read("mailserverpassword").toString(); }
    void setMailserverpassword(const QString &v) { write("mailserverpassword", v); }
    QVariant date() const { return read("date"); }
    QString log() const;
    QObject *recipients() const;
    QObject *attachments() const;

    Q_INVOKABLE bool addrecipient(const QString &address);
    Q_INVOKABLE bool addattachment(const QString &path, bool encode);
    Q_INVOKABLE bool send(const QString &server);
    Q_INVOKABLE void close();

private:
    FakeCollection *m_recipients;
    FakeCollection *m_attachments;
};

class FakePop3 : public FakeObject {
    Q_OBJECT
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout)
    Q_PROPERTY(bool logging READ logging WRITE setLogging)
    Q_PROPERTY(int lastmessage READ lastmessage WRITE setLastmessage)
    Q_PROPERTY(int count READ count)
    Q_PROPERTY(QObject *messages READ messages)
    Q_PROPERTY(QString log READ log)
public:
    FakePop3(const QString &label, QObject *parent = nullptr) : FakeObject("POP3", label, parent) {}
    int timeout() const { return read("timeout").toInt(); }
    void setTimeout(int v) { write("timeout", v); }
    bool logging() const { return read("logging").toBool(); }
    void setLogging(bool v) { write("logging", v); }
    int lastmessage() const { return read("lastmessage").toInt(); }
    void setLastmessage(int v) { write("lastmessage", v); }
    int count() const;
    QObject *messages() const;
    QString log() const;

    Q_INVOKABLE bool connect(const QString &user, const QString &password, const QString &host, int port);
    Q_INVOKABLE bool deletemessages();
    Q_INVOKABLE bool disconnect();

private:
    mutable FakeCollection *m_messages = nullptr;
};

} // namespace fake
