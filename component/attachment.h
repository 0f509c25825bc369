#pragma once

#include <QObject>
#include <QString>

namespace component {

// One attachment of a fetched message. Its decoded content lives in a
// temporary file owned by the attachment (never whole in memory).
class Attachment : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName)
public:
    explicit Attachment(QObject *parent = nullptr);
    ~Attachment() override;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Writes the decoded content to `path`, replacing a file there.
    // False (with an automation error) when it cannot.
    Q_INVOKABLE bool savetofile(const QString &path);

    // The temporary file holding the decoded content; the attachment takes
    // ownership and removes it when destroyed.
    void setContentFile(const QString &path);
    QString contentFile() const { return m_contentFile; }

private:
    QString m_name;
    QString m_contentFile;
};

} // namespace component
