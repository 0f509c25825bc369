// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QFile;

namespace component {

// One attachment of a fetched message. Its decoded content is held in
// memory when it is small and in a temporary file owned by the attachment
// when it is not, so a large attachment never sits whole in memory.
class Attachment : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName)
public:
    explicit Attachment(QObject *parent = nullptr);
    ~Attachment() override;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Writes the decoded content to `path`, replacing a file there. The
    // content goes to a new file beside it that is then renamed over it, so
    // a failed save never leaves a half-written file under that name.
    // False (with an automation error) when it cannot.
    Q_INVOKABLE bool savetofile(const QString &path);

    // The temporary file holding the decoded content; the attachment takes
    // ownership and removes it when destroyed.
    void setContentFile(const QString &path);
    QString contentFile() const { return m_contentFile; }

    // Small content kept in memory instead of a file.
    void setContent(const QByteArray &content);

private:
    bool linkContentTo(const QString &path);
    // 0, or the errno of the write that failed.
    int writeContentTo(QFile &output) const;

    QString m_name;
    QString m_contentFile;
    QByteArray m_content;
};

} // namespace component
