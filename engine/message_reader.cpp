// SPDX-License-Identifier: MIT
#include "engine/message_reader.h"

#include "engine/mail_date.h"
#include "engine/text_functions.h"

#include "platform/files.h"


namespace engine {

namespace {

// An HTML body shorter than this many bytes holds no real content (an empty
// document skeleton at most); the plain body is taken instead.
constexpr qsizetype kMinHtmlBodyBytes = 10;

void readRecipients(ComponentCalls &calls, MessageHandles handles, stru_mail &record)
{
    if (!calls.bindProperty(handles.message, QStringLiteral("recipients"), handles.recipients))
        return;
    const qint64 count = calls.count(handles.recipients);
    if (calls.failed() || count == 0)
        return;
    QStringList addresses;
    for (qint64 k = 0; k < count && calls.ok(); ++k) {
        if (calls.bindElement(handles.recipients, k, handles.recipient))
            addresses.append(calls.get(handles.recipient, QStringLiteral("email")).toString());
    }
    record.recipientaddress1 = addresses;
}

// A property that not every component has; empty when this one lacks it.
// The fields it fills serve front ends beyond the windows, and a fetch
// must not fail for their sake.
QVariant optionalProperty(platform::AutomationObject &object, const QString &name)
{
    return object.property(name).value_or(QVariant());
}

// Cc apart from To, Reply-To, the ids a reply or a thread refers to and the
// zone the date was written in.
void readReferences(MessageHandles handles, stru_mail &record)
{
    record.ccaddress1 = optionalProperty(handles.message, QStringLiteral("cc")).toStringList();
    record.replyto = optionalProperty(handles.message, QStringLiteral("replyto")).toString();
    record.messageid = optionalProperty(handles.message, QStringLiteral("messageid")).toString();
    record.inreplyto = optionalProperty(handles.message, QStringLiteral("inreplyto")).toString();
    record.mailutcoffset = optionalProperty(handles.message, QStringLiteral("dateoffset")).toInt();
}

void readBody(ComponentCalls &calls, MessageHandles handles, stru_mail &record)
{
    const QString htmlbody = calls.get(handles.message, QStringLiteral("htmlbody")).toString();
    if (calls.failed())
        return;
    // Every character takes at least one byte, so only a short text needs
    // its bytes counted.
    const bool longEnough =
        htmlbody.size() >= kMinHtmlBodyBytes || gbByteLength(htmlbody) >= kMinHtmlBodyBytes;
    if (longEnough) {
        record.body = htmlbody;
        record.html = true;
        // A reader without HTML still has the plain text, when the
        // component can give one.
        record.text = optionalProperty(handles.message, QStringLiteral("plaintext")).toString();
    } else {
        record.body = calls.get(handles.message, QStringLiteral("body")).toString();
        record.html = false;
    }
}

// Removes a scratch file that did not become an attachment's file.
class ScratchGuard {
public:
    explicit ScratchGuard(QString path) : m_path(std::move(path)) {}
    ~ScratchGuard()
    {
        if (!m_kept)
            platform::fileDelete(m_path);
    }
    ScratchGuard(const ScratchGuard &) = delete;
    ScratchGuard &operator=(const ScratchGuard &) = delete;
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// Saves the attachment that handles.attachment is bound to and returns the
// path of the file that holds it; an empty text when that failed. The
// component writes it under a scratch name first, so that no file of the
// folder is touched until the attachment is whole on disk.
QString saveAttachment(ComponentCalls &calls, MessageHandles handles, AttachmentTargets &targets)
{
    const QString name = calls.get(handles.attachment, QStringLiteral("name")).toString();
    if (calls.failed())
        return {};
    QString error;
    const std::optional<QString> scratch = targets.newScratchFile(&error);
    if (!scratch) {
        calls.fail(QStringLiteral("附件“%1”没有保存：%2").arg(name, error), FailureKind::LocalFile);
        return {};
    }
    ScratchGuard guard(*scratch);
    const QVariant saved = calls.call(handles.attachment, QStringLiteral("savetofile"), {*scratch});
    if (calls.failed()) {
        calls.explainFailure(QStringLiteral("附件“%1”没有保存到 %2").arg(name, targets.folder()),
                             FailureKind::LocalFile);
        return {};
    }
    if (saysFalse(saved) || !platform::fileExists(*scratch)) {
        calls.fail(QStringLiteral("附件“%1”没有保存到 %2").arg(name, targets.folder()), FailureKind::LocalFile);
        return {};
    }
    const std::optional<QString> target = targets.place(*scratch, name, &error);
    if (!target) {
        calls.fail(QStringLiteral("附件“%1”没有保存：%2").arg(name, error), FailureKind::LocalFile);
        return {};
    }
    // The scratch name is gone now: it became the target, or the target
    // already held the same bytes.
    guard.keep();
    return *target;
}

void readAttachments(ComponentCalls &calls, MessageHandles handles, AttachmentTargets &targets, stru_mail &record)
{
    if (!calls.bindProperty(handles.message, QStringLiteral("attachments"), handles.attachments))
        return;
    const qint64 count = calls.count(handles.attachments);
    for (qint64 j = 0; j < count && calls.ok(); ++j) {
        if (!calls.bindElement(handles.attachments, j, handles.attachment))
            return;
        const QString path = saveAttachment(calls, handles, targets);
        if (calls.ok())
            record.attachment.append(path);
    }
}

} // namespace

bool readMessage(ComponentCalls &calls, MessageHandles handles, AttachmentTargets &targets, stru_mail &record)
{
    record.senderaddress = calls.get(handles.message, QStringLiteral("from")).toString();
    record.sendername = calls.get(handles.message, QStringLiteral("fromname")).toString();
    record.maildatetime = toMailDateTime(calls.get(handles.message, QStringLiteral("date")));
    readRecipients(calls, handles, record);
    if (calls.ok())
        readReferences(handles, record);
    record.subject = calls.get(handles.message, QStringLiteral("subject")).toString();
    readBody(calls, handles, record);
    readAttachments(calls, handles, targets, record);
    return calls.ok();
}

} // namespace engine
