// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>

namespace component {

class Attachment;

// The attachments of a message; elements are numbered from 0.
class Attachments : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count)
public:
    explicit Attachments(QObject *parent = nullptr) : QObject(parent) {}
    int count() const { return int(m_items.size()); }
    // Element `index` (0 to count-1); reports an error for any other index.
    Q_INVOKABLE QObject *item(int index);

    // Appends an attachment this collection owns.
    Attachment *add(const QString &name);
    void clear();

private:
    QList<Attachment *> m_items;
};

} // namespace component
