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
};

QMetaMethod progressSignal(const QMetaObject *meta)
{
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal && method.parameterCount() == 1
            && method.parameterMetaType(0) == QMetaType::fromType<QString>()
            && QLatin1String(method.name()).compare(QLatin1String("progress"), Qt::CaseInsensitive) == 0)
            return method;
    }
    return QMetaMethod();
}

} // namespace

void setTransferProgressSink(TransferProgressSink sink)
{
    currentSink() = std::move(sink);
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
    const QMetaMethod signal = progressSignal(object->metaObject());
    if (!signal.isValid())
        return false;
    ProgressRelay *relay = ProgressRelay::instance();
    const QMetaMethod slot = relay->metaObject()->method(relay->metaObject()->indexOfSlot("report(QString)"));
    // Direct: the report must reach the screen while the transfer still runs.
    return QObject::connect(object, signal, relay, slot, Qt::DirectConnection);
}

} // namespace platform

#include "transfer_progress.moc"
