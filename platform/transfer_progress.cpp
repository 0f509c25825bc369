// SPDX-License-Identifier: MIT
#include "platform/transfer_progress.h"

#include <QMetaMethod>
#include <QObject>

namespace platform {

namespace {

TransferProgressSink &currentSink()
{
    static TransferProgressSink sink;
    return sink;
}

TransferAmountSink &currentAmountSink()
{
    static TransferAmountSink sink;
    return sink;
}

// The receiving end of every component object's progress signal. It lives
// as long as the process: the objects it listens to may outlive any window.
class ProgressRelay : public QObject {
    Q_OBJECT
public:
    static ProgressRelay *instance()
    {
        static auto *relay = new ProgressRelay;
        return relay;
    }

public Q_SLOTS:
    void report(const QString &text) { reportTransferProgress(text); }
    void reportAmount(qint64 done, qint64 total) { reportTransferAmount(done, total); }
};

// The object's signal of that name (any letter case) and those arguments.
QMetaMethod signalNamed(const QMetaObject *meta, QLatin1String name, const QList<QMetaType> &arguments)
{
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal || method.parameterCount() != arguments.size()
            || QLatin1String(method.name()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        bool same = true;
        for (int a = 0; a < arguments.size(); ++a)
            same = same && method.parameterMetaType(a) == arguments.at(a);
        if (same)
            return method;
    }
    return QMetaMethod();
}

// Direct: a report must reach the screen while the transfer still runs.
bool connectToRelay(QObject *object, const QMetaMethod &signal, const char *slotSignature)
{
    ProgressRelay *relay = ProgressRelay::instance();
    const QMetaMethod slot = relay->metaObject()->method(relay->metaObject()->indexOfSlot(slotSignature));
    return QObject::connect(object, signal, relay, slot, Qt::DirectConnection);
}

} // namespace

void setTransferProgressSink(TransferProgressSink sink)
{
    currentSink() = std::move(sink);
}

void setTransferAmountSink(TransferAmountSink sink)
{
    currentAmountSink() = std::move(sink);
}

void reportTransferAmount(qint64 done, qint64 total)
{
    const TransferAmountSink sink = currentAmountSink();
    if (sink)
        sink(done, total);
}

void reportTransferProgress(const QString &text)
{
    // A copy: the sink may replace itself while it runs.
    const TransferProgressSink sink = currentSink();
    if (sink)
        sink(text);
}

bool connectTransferProgress(QObject *object)
{
    if (!object)
        return false;
    const QMetaObject *meta = object->metaObject();
    const QMetaMethod text = signalNamed(meta, QLatin1String("progress"), {QMetaType::fromType<QString>()});
    if (!text.isValid())
        return false;
    const QMetaMethod amount = signalNamed(meta, QLatin1String("progressamount"),
                                           {QMetaType::fromType<qint64>(), QMetaType::fromType<qint64>()});
    if (amount.isValid())
        connectToRelay(object, amount, "reportAmount(qint64,qint64)");
    return connectToRelay(object, text, "report(QString)");
}

} // namespace platform

#include "transfer_progress.moc"
