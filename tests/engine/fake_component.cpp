// SPDX-License-Identifier: MIT
#include "fake_component.h"

#include <QDateTime>
#include <QFile>

namespace fake {

namespace {

QString text(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(Qt::ISODate);
    return value.toString();
}

QString shortKind(const QString &className)
{
    return className.mid(className.indexOf(u'.') + 1);
}

} // namespace

Script &script()
{
    static Script current;
    return current;
}

QStringList &journal()
{
    static QStringList entries;
    return entries;
}

void reset()
{
    script() = Script();
    journal().clear();
}

FakeObject::FakeObject(const QString &kind, const QString &label, QObject *parent)
    : QObject(parent), m_kind(kind), m_label(label)
{
}

FakeObject::~FakeObject()
{
    if (m_madeByFactory)
        journal().append(QStringLiteral("release ") + m_label);
}

bool FakeObject::raisesIn(const QString &member)
{
    const QString lower = member.toLower();
    QString error = script().errors.value(m_label + u'.' + lower);
    if (error.isEmpty())
        error = script().errors.value(m_kind + u'.' + lower);
    if (error.isEmpty())
        return false;
    setProperty("automationError", error);
    return true;
}

QVariant FakeObject::read(const char *member) const
{
    journal().append(m_label + u'.' + QLatin1String(member));
    if (const_cast<FakeObject *>(this)->raisesIn(QLatin1String(member)))
        return {};
    return m_values.value(QLatin1String(member));
}

void FakeObject::write(const char *member, const QVariant &value)
{
    journal().append(m_label + u'.' + QLatin1String(member) + u'=' + text(value));
    if (!raisesIn(QLatin1String(member)))
        m_values.insert(QLatin1String(member), value);
}

bool FakeObject::recordCall(const char *member, const QVariantList &args)
{
    QStringList shown;
    for (const QVariant &arg : args)
        shown.append(text(arg));
    journal().append(m_label + u'.' + QLatin1String(member) + u'(' + shown.join(QStringLiteral(", ")) + u')');
    return !raisesIn(QLatin1String(member));
}

bool FakeAttachment::savetofile(const QString &path)
{
    if (!recordCall("savetofile", {path}))
        return false;
    if (script().refusedSaves.contains(label()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setProperty("automationError", QStringLiteral("cannot write ") + path);
        return false;
    }
    file.write(content);
    return true;
}

int FakeCollection::count() const
{
    read("count");
    return int(m_items.size());
}

QObject *FakeCollection::item(int index)
{
    if (!recordCall("item", {index}))
        return nullptr;
    const int position = index - m_firstIndex;
    if (position < 0 || position >= m_items.size()) {
        setProperty("automationError", QStringLiteral("no element %1").arg(index));
        return nullptr;
    }
    return m_items.at(position);
}

FakeMessage::FakeMessage(const QString &label, QObject *parent)
    : FakeObject(QStringLiteral("Message"), label, parent),
      m_recipients(new FakeCollection(QStringLiteral("Recipients"), label + QStringLiteral(".Recipients"), 0, this)),
      m_attachments(new FakeCollection(QStringLiteral("Attachments"), label + QStringLiteral(".Attachments"), 0, this))
{
}

FakeMessage::FakeMessage(const QString &label, const ScriptedMessage &scripted, QObject *parent) : FakeMessage(label, parent)
{
    m_values = {{QStringLiteral("from"), scripted.from},         {QStringLiteral("fromname"), scripted.fromname},
                {QStringLiteral("date"), scripted.date},         {QStringLiteral("subject"), scripted.subject},
                {QStringLiteral("htmlbody"), scripted.htmlbody}, {QStringLiteral("body"), scripted.body}};
    for (int k = 0; k < scripted.recipients.size(); ++k) {
        auto *recipient = new FakeRecipient(label + QStringLiteral(".Recipient%1").arg(k), m_recipients);
        recipient->seed("email", scripted.recipients.at(k));
        m_recipients->add(recipient);
    }
    for (int j = 0; j < scripted.attachments.size(); ++j) {
        auto *attachment = new FakeAttachment(label + QStringLiteral(".Attachment%1").arg(j), m_attachments);
        attachment->seed("name", scripted.attachments.at(j).name);
        attachment->content = scripted.attachments.at(j).content;
        m_attachments->add(attachment);
    }
}

QString FakeMessage::log() const
{
    read("log");
    return script().log;
}

QObject *FakeMessage::recipients() const
{
    read("recipients");
    return m_recipients;
}

QObject *FakeMessage::attachments() const
{
    read("attachments");
    return m_attachments;
}

bool FakeMessage::addrecipient(const QString &address)
{
    return recordCall("addrecipient", {address});
}

bool FakeMessage::addattachment(const QString &path, bool encode)
{
    return recordCall("addattachment", {path, encode});
}

bool FakeMessage::send(const QString &server)
{
    if (!recordCall("send", {server}))
        return false;
    return script().sendResult;
}

void FakeMessage::close()
{
    recordCall("close");
}

int FakePop3::count() const
{
    read("count");
    return int(script().mailbox.size());
}

QObject *FakePop3::messages() const
{
    read("messages");
    if (!m_messages) {
        auto *self = const_cast<FakePop3 *>(this);
        m_messages = new FakeCollection(QStringLiteral("Messages"), QStringLiteral("Messages"), 1, self);
        for (int i = 0; i < script().mailbox.size(); ++i)
            m_messages->add(new FakeMessage(QStringLiteral("Message%1").arg(i + 1), script().mailbox.at(i), m_messages));
    }
    return m_messages;
}

QString FakePop3::log() const
{
    read("log");
    return script().log;
}

bool FakePop3::connect(const QString &user, const QString &password, const QString &host, int port)
{
    if (!recordCall("connect", {user, password, host, port}))
        return false;
    return script().connectResult;
}

bool FakePop3::deletemessages()
{
    return recordCall("deletemessages") && script().deleteResult;
}

bool FakePop3::disconnect()
{
    return recordCall("disconnect") && script().disconnectResult;
}

} // namespace fake

extern "C" FAKE_EXPORT QObject *OrvexCreateObject(const char *className);

QObject *OrvexCreateObject(const char *className)
{
    const QString name = QString::fromUtf8(className);
    fake::journal().append(QStringLiteral("new ") + name);
    if (fake::script().refusedClasses.contains(name, Qt::CaseInsensitive))
        return nullptr;
    const QString kind = fake::shortKind(name);
    fake::FakeObject *object = nullptr;
    if (kind.compare(QLatin1String("Message"), Qt::CaseInsensitive) == 0)
        object = new fake::FakeMessage(QStringLiteral("Message"));
    else if (kind.compare(QLatin1String("POP3"), Qt::CaseInsensitive) == 0)
        object = new fake::FakePop3(QStringLiteral("POP3"));
    else if (kind.compare(QLatin1String("Attachments"), Qt::CaseInsensitive) == 0)
        object = new fake::FakeCollection(QStringLiteral("Attachments"), QStringLiteral("Attachments"), 0);
    else if (kind.compare(QLatin1String("Attachment"), Qt::CaseInsensitive) == 0)
        object = new fake::FakeAttachment(QStringLiteral("Attachment"));
    else if (kind.compare(QLatin1String("Recipients"), Qt::CaseInsensitive) == 0)
        object = new fake::FakeCollection(QStringLiteral("Recipients"), QStringLiteral("Recipients"), 0);
    else if (kind.compare(QLatin1String("Recipient"), Qt::CaseInsensitive) == 0)
        object = new fake::FakeRecipient(QStringLiteral("Recipient"));
    if (object)
        object->setMadeByFactory();
    return object;
}
