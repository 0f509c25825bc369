// SPDX-License-Identifier: MIT
#include "fetched_message_check.h"

#include "component/attachment.h"
#include "component/attachments.h"
#include "component/message.h"
#include "component/message_skeleton.h"
#include "component/mime_reader.h"
#include "component/recipient.h"
#include "component/recipients.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// Every field of `message`, in order, as text: what both ways of reading
// must agree on. Reading them also makes the sanitizers look at every
// character.
QString readFields(component::Message &message, QStringList &summary)
{
    summary << message.fromAddress() << message.fromName() << message.subject() << message.plainBody()
            << message.htmlBody() << message.date().toString(Qt::ISODate);
    component::Recipients *recipients = message.recipientList();
    for (int i = 0; i < recipients->count(); ++i) {
        auto *recipient = qobject_cast<component::Recipient *>(recipients->item(i));
        if (!recipient)
            return QStringLiteral("recipient %1 of %2 is missing").arg(i).arg(recipients->count());
        summary << recipient->email() << recipient->name();
    }
    return {};
}

// Every entry of `folder`, hidden ones included.
QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QString saveAttachment(component::Attachment *attachment, const QString &saveFolder, QStringList &summary)
{
    const QString name = attachment->name();
    const QString reason = unsafeNameReason(name);
    if (!reason.isEmpty())
        return QStringLiteral("attachment name \"%1\" %2").arg(name, reason);
    // Joined as the program joins them: QDir::filePath() would take a name
    // starting with ":" for a resource path and drop the folder.
    const QString target = saveFolder + QLatin1Char('/') + name;
    if (!attachment->savetofile(target))
        return QStringLiteral("attachment \"%1\" could not be saved: %2")
            .arg(name, attachment->property("automationError").toString());
    const QString canonicalFolder = QFileInfo(saveFolder).canonicalFilePath();
    const QFileInfoList entries = entriesOf(saveFolder);
    if (entries.size() != 1)
        return QStringLiteral("saving \"%1\" (UTF-8 %2) left %3 entries in the folder")
            .arg(name, QString::fromLatin1(name.toUtf8().toHex(' ')))
            .arg(entries.size());
    const QFileInfo saved = entries.first();
    if (!saved.isFile() || saved.isSymLink() || saved.canonicalPath() != canonicalFolder
        || saved.fileName() != name)
        return QStringLiteral("attachment \"%1\" was saved as %2").arg(name, saved.absoluteFilePath());
    QFile content(saved.absoluteFilePath());
    if (!content.open(QIODevice::ReadOnly))
        return QStringLiteral("attachment \"%1\" cannot be read back").arg(name);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&content);
    summary << name << QString::fromLatin1(hash.result().toHex());
    content.remove();
    return {};
}

} // namespace

QString unsafeNameReason(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("is empty");
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("starts with a dot");
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("holds a directory separator");
        if (c == QLatin1Char(';'))
            return QStringLiteral("holds a semicolon");
        if (c.unicode() < 0x20 || c.category() == QChar::Other_Control)
            return QStringLiteral("holds the control character U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (name.toUtf8().size() > 255)
        return QStringLiteral("is longer than a file name may be");
    return {};
}

namespace {

// Reads one message with `read` and checks what came out; `summary` gets
// every field and every attachment's name and content hash.
template <typename Read>
QString checkOneWay(Read &&read, const QString &saveFolder, QStringList &summary, int *savedCount)
{
    QString problem;
    {
        component::Message message;
        QString error;
        // A false result is allowed (an attachment the temporary folder
        // cannot take); whatever was read must still be sound.
        read(message, &error);
        problem = readFields(message, summary);
        component::Attachments *attachments = message.attachmentList();
        for (int i = 0; problem.isEmpty() && i < attachments->count(); ++i) {
            auto *attachment = qobject_cast<component::Attachment *>(attachments->item(i));
            problem = attachment ? saveAttachment(attachment, saveFolder, summary)
                                 : QStringLiteral("attachment %1 is missing").arg(i);
            if (problem.isEmpty() && savedCount)
                ++*savedCount;
        }
    }
    for (const QFileInfo &left : entriesOf(saveFolder))
        QFile::remove(left.absoluteFilePath());
    return problem;
}

QString firstDifference(const QStringList &a, const QStringList &b)
{
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (a.value(i) != b.value(i))
            return QStringLiteral("item %1: \"%2\" against \"%3\"").arg(i).arg(a.value(i).left(200), b.value(i).left(200));
    }
    return {};
}

} // namespace

namespace {

// Reads `raw` as the POP3 side does while a message streams in, in pieces
// of 1 to 1021 bytes so that lines break anywhere and whole lines come
// too, with every run of base64 lines taken out however short.
// `fromSkeleton` tells whether the whole message was needed after all.
bool readAsItArrives(const QByteArray &raw, component::Message &message, QString *error, bool *fromSkeleton)
{
    QTemporaryFile messageFile;
    if (!messageFile.open())
        return false;
    component::MessageSkeleton skeleton(messageFile, 1);
    for (qsizetype at = 0, piece = 1; at < raw.size(); at += piece, piece = piece * 7 % 1021 + 1)
        skeleton.write(raw.constData() + at, std::min(piece, raw.size() - at));
    if (!skeleton.finish())
        return false;
    const bool read = component::readMimeMessage(skeleton, message, error);
    *fromSkeleton = !skeleton.wholeMessageWasNeeded();
    return read;
}

} // namespace

QString checkFetchedMessage(const QByteArray &raw, const QString &saveFolder, int *savedCount, bool *readFromSkeleton)
{
    if (savedCount)
        *savedCount = 0;
    const QString input = QFileInfo(saveFolder).absolutePath() + QStringLiteral("/fetched-message.eml");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(raw) != raw.size())
            return QStringLiteral("cannot write the input file %1").arg(input);
    }
    // Large messages are read from their file, small ones from memory: both
    // ways must give the same message.
    QStringList fromFile;
    QString problem = checkOneWay(
        [&](component::Message &message, QString *error) { component::readMimeMessage(input, message, error); },
        saveFolder, fromFile, savedCount);
    if (!problem.isEmpty()) {
        QFile::remove(input);
        return QStringLiteral("read from a file: %1").arg(problem);
    }
    QStringList asItArrived;
    bool fromSkeleton = false;
    problem = checkOneWay(
        [&](component::Message &message, QString *error) { readAsItArrives(raw, message, error, &fromSkeleton); },
        saveFolder, asItArrived, nullptr);
    QFile::remove(input);
    if (readFromSkeleton)
        *readFromSkeleton = fromSkeleton;
    if (!problem.isEmpty())
        return QStringLiteral("read as it arrived: %1").arg(problem);
    if (fromFile != asItArrived)
        return QStringLiteral("reading from a file and as it arrived differ at %1").arg(firstDifference(fromFile, asItArrived));
    QStringList fromMemory;
    problem = checkOneWay(
        [&](component::Message &message, QString *error) { component::readMimeMessage(raw, message, error); },
        saveFolder, fromMemory, nullptr);
    if (!problem.isEmpty())
        return QStringLiteral("read from memory: %1").arg(problem);
    if (fromFile != fromMemory)
        return QStringLiteral("reading from a file and from memory differ at %1").arg(firstDifference(fromFile, fromMemory));
    return {};
}
