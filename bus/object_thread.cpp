// SPDX-License-Identifier: MIT
#include "bus/object_thread.h"

namespace bus {

ObjectThread::ObjectThread() : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("orvex object"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    m_idleSince.start();
}

ObjectThread::~ObjectThread()
{
    m_thread.quit();
    m_thread.wait();
}

void ObjectThread::submit(Job job)
{
    m_queue.push_back(std::move(job));
    if (!m_running)
        startNext();
}

void ObjectThread::interrupt(Job job)
{
    QMetaObject::invokeMethod(m_context, std::move(job), Qt::QueuedConnection);
}

void ObjectThread::retire(Job lastJob)
{
    submit(std::move(lastJob));
    m_retiring = true;
}

void ObjectThread::startNext()
{
    if (m_queue.empty()) {
        m_idleSince.start();
        if (m_retiring)
            deleteLater();
        return;
    }
    m_running = true;
    Job job = std::move(m_queue.front());
    m_queue.pop_front();
    QMetaObject::invokeMethod(
            m_context,
            [this, job = std::move(job)] {
                job();
                QMetaObject::invokeMethod(this, &ObjectThread::jobFinished, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
}

void ObjectThread::jobFinished()
{
    m_running = false;
    startNext();
}

} // namespace bus
