// SPDX-License-Identifier: MIT
#include "component/message.h"

#include "component/attachments.h"
#include "component/html_plain_text.h"
#include "component/recipients.h"

#include <QTemporaryFile>

namespace component {

Message::Message(QObject *parent)
    : QObject(parent), m_recipients(new Recipients(this)), m_attachments(new Attachments(this))
{
}

Message::~Message() = default;

bool Message::addrecipient(const QString &address)
{
    if (address.trimmed().isEmpty())
        return false;
    m_recipients->add(address.trimmed());
    return true;
}

QString Message::plainText() const
{
    return m_body.isEmpty() && !m_htmlbody.isEmpty() ? plainTextFromHtml(m_htmlbody) : m_body;
}

bool Message::addcc(const QString &address)
{
    if (address.trimmed().isEmpty())
        return false;
    m_cc.append(address.trimmed());
    return true;
}

bool Message::addbcc(const QString &address)
{
    if (address.trimmed().isEmpty())
        return false;
    m_bcc.append(address.trimmed());
    return true;
}

bool Message::addattachment(const QString &path, bool encode)
{
    Q_UNUSED(encode);
    if (path.isEmpty())
        return false;
    m_attachmentFiles.append(path);
    return true;
}

void Message::close()
{
    m_recipients->clear();
    m_attachments->clear();
    m_attachmentFiles.clear();
    m_cc.clear();
    m_bcc.clear();
    m_raw.clear();
    m_rawKept = false;
    m_rawFile.reset();
    m_htmlbody.clear();
    m_body.clear();
}

QObject *Message::recipients() const
{
    return m_recipients;
}

QObject *Message::attachments() const
{
    return m_attachments;
}

void Message::appendLog(const QString &line)
{
    if (!m_logging)
        return;
    m_log += line;
    m_log += QLatin1Char('\n');
}

} // namespace component
