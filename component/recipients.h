// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QList>

namespace component {

class Recipient;

// The recipients of a message; elements are numbered from 0.
class Recipients : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count)
public:
    explicit Recipients(QObject *parent = nullptr) : QObject(parent) {}
    int count() const { return int(m_items.size()); }
    // Element `index` (0 to count-1); reports an error for any other index.
    Q_INVOKABLE QObject *item(int index);

    // Appends a recipient this collection owns.
    Recipient *add(const QString &email, const QString &name = QString());
    void clear();

private:
    QList<Recipient *> m_items;
};

} // namespace component
