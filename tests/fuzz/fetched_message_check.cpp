#include "fetched_message_check.h"

#include "component/attachment.h"
#include "component/attachments.h"
#include "component/message.h"
#include "component/mime_reader.h"
#include "component/recipient.h"
#include "component/recipients.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Makes the sanitizers look at every character of a text field.
qsizetype touch(const QString &text)
{
    return text.toUtf8().size();
}

QString readFields(component::Message &message)
{
    qsizetype total = touch(message.fromAddress()) + touch(message.fromName()) + touch(message.subject())
                      + touch(message.plainBody()) + touch(message.htmlBody());
    if (message.date().isValid())
        total += touch(message.date().toString(Qt::ISODate));
    component::Recipients *recipients = message.recipientList();
    for (int i = 0; i < recipients->count(); ++i) {
        auto *recipient = qobject_cast<component::Recipient *>(recipients->item(i));
        if (!recipient)
            return QStringLiteral("recipient %1 of %2 is missing").arg(i).arg(recipients->count());
        total += touch(recipient->email()) + touch(recipient->name());
    }
    return total < 0 ? QStringLiteral("negative size") : QString();
}

// Every entry of `folder`, hidden ones included.
QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QString saveAttachment(component::Attachment *attachment, const QString &saveFolder)
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
    QFile::remove(saved.absoluteFilePath());
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

QString checkFetchedMessage(const QByteArray &raw, const QString &saveFolder, int *savedCount)
{
    if (savedCount)
        *savedCount = 0;
    const QString input = QDir(saveFolder).filePath(QStringLiteral("../fetched-message.eml"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(raw) != raw.size())
            return QStringLiteral("cannot write the input file %1").arg(input);
    }
    QString problem;
    {
        component::Message message;
        QString error;
        // A false result is allowed (an attachment the temporary folder
        // cannot take); whatever was read must still be sound.
        component::readMimeMessage(input, message, &error);
        problem = readFields(message);
        component::Attachments *attachments = message.attachmentList();
        for (int i = 0; problem.isEmpty() && i < attachments->count(); ++i) {
            auto *attachment = qobject_cast<component::Attachment *>(attachments->item(i));
            problem = attachment ? saveAttachment(attachment, saveFolder)
                                 : QStringLiteral("attachment %1 is missing").arg(i);
            if (problem.isEmpty() && savedCount)
                ++*savedCount;
        }
    }
    QFile::remove(input);
    for (const QFileInfo &left : entriesOf(saveFolder))
        QFile::remove(left.absoluteFilePath());
    return problem;
}
