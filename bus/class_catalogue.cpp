// SPDX-License-Identifier: MIT
#include "bus/class_catalogue.h"

#include "platform/component_factory.h"
#include "platform/component_registry.h"

#include <QMetaObject>
#include <QObject>
#include <memory>

namespace bus {

QStringList ClassCatalogue::learnRegisteredClasses()
{
    QStringList failures;
    m_registeredNames = platform::registeredClassNames();
    for (const QString &name : std::as_const(m_registeredNames)) {
        QString error;
        const platform::CreatedObject created = platform::createComponentObject(name, &error);
        if (created.code != 0) {
            failures << error;
            continue;
        }
        const std::unique_ptr<QObject> probe(created.object);
        m_interfaceByClassName.insert(probe->metaObject()->className(), QStringLiteral("org.") + name);
    }
    return failures;
}

QString ClassCatalogue::registeredName(const QString &className) const
{
    for (const QString &name : m_registeredNames) {
        if (name.compare(className, Qt::CaseInsensitive) == 0)
            return name;
    }
    return {};
}

QString ClassCatalogue::interfaceNameOf(const QMetaObject *meta) const
{
    const QString known = m_interfaceByClassName.value(meta->className());
    if (!known.isEmpty())
        return known;
    QString className = QString::fromLatin1(meta->className());
    className = className.mid(className.lastIndexOf(QLatin1Char(':')) + 1);
    return QStringLiteral("org.orvex.") + className;
}

const ExportedClass &ClassCatalogue::exportedClass(const QMetaObject *meta)
{
    const QMutexLocker locker(&m_lock);
    std::unique_ptr<ExportedClass> &exported = m_classes[meta];
    if (!exported)
        exported = std::make_unique<ExportedClass>(meta, interfaceNameOf(meta));
    return *exported;
}

} // namespace bus
