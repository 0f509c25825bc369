// SPDX-License-Identifier: MIT
#include "bus/signal_relay.h"

#include <QDBusMessage>
#include <QMetaMethod>

namespace bus {

SignalRelay::SignalRelay(QObject *source, const ExportedClass &exported, const QString &path,
                         const QString &destination, const QDBusConnection &connection, PathOfObject pathOf)
    : QObject(source), m_exported(exported), m_sourceMeta(source->metaObject()), m_path(path),
      m_destination(destination), m_connection(connection), m_pathOf(std::move(pathOf))
{
    const int firstSlot = QObject::staticMetaObject.methodCount();
    const QList<ExportedClass::Signal> &signalList = exported.signalList();
    for (int i = 0; i < signalList.size(); ++i)
        QMetaObject::connect(source, signalList[i].index, this, firstSlot + i, Qt::DirectConnection);
}

int SignalRelay::qt_metacall(QMetaObject::Call call, int id, void **arguments)
{
    id = QObject::qt_metacall(call, id, arguments);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod)
        return id;
    if (id < m_exported.signalList().size())
        relay(id, arguments);
    return -1;
}

void SignalRelay::relay(int signalNumber, void **arguments)
{
    const ExportedClass::Signal &signal = m_exported.signalList().at(signalNumber);
    const QMetaMethod method = m_sourceMeta->method(signal.index);
    QVariantList values;
    for (int i = 0; i < method.parameterCount(); ++i)
        values << toBusValue(QVariant(method.parameterMetaType(i), arguments[i + 1]), m_pathOf);
    QDBusMessage message =
            m_destination.isEmpty()
                    ? QDBusMessage::createSignal(m_path, m_exported.interfaceName(), signal.name)
                    : QDBusMessage::createTargetedSignal(m_destination, m_path, m_exported.interfaceName(), signal.name);
    message.setArguments(values);
    m_connection.send(message);
}

} // namespace bus
