// SPDX-License-Identifier: MIT
#include "receive/spool_writer.h"

#include <QCoreApplication>
#include <QThread>

#include <limits>

namespace {

// A writer's thread, which whoever deletes it waits for: the application
// deletes the threads it still has when the program ends, so that a spool
// being removed then is removed whole.
class spool_thread : public QThread {
public:
    using QThread::QThread;
    ~spool_thread() override
    {
        quit();
        wait();
    }
};

} // namespace

spool_writer *spool_writer::start()
{
    auto *thread = new spool_thread(QCoreApplication::instance());
    thread->setObjectName(QStringLiteral("orvex-spool"));
    auto *writer = new spool_writer;
    writer->moveToThread(thread);
    // When the thread's loop ends the writer goes on that thread, and its
    // spool's folder with it; then the thread object goes on the
    // application's.
    connect(thread, &QThread::finished, writer, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return writer;
}

void spool_writer::release()
{
    forget(std::numeric_limits<quint64>::max());
    // Bodies and clears still queued are dropped with the loop.
    thread()->quit();
}

void spool_writer::write(quint64 generation, QList<Body> bodies)
{
    for (Body &body : bodies) {
        if (forgotten(generation))
            return;
        QString error;
        const bool stored = m_spool.store(body.key, body.text, &error);
        // Whichever side lets go last frees the text: the list drops its
        // copy once it hears the body is stored.
        body.text = QString();
        emit written(generation, body.row, body.key, stored, stored ? m_spool.folder() : error);
    }
}

void spool_writer::clear()
{
    m_spool.clear();
}
