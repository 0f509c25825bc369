// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <deque>
#include <functional>

namespace bus {

// The thread in which one object made through the bus lives, with
// everything it hands out (collections, fetched messages): a long send or
// fetch of one object then holds up no other object and no other client.
//
// Calls on the object run one after the other, in the order they came: a
// component object is made for one caller at a time, and its transfers
// wait in local event loops that would otherwise start the next call in
// the middle of the running one. Only an interruption (abandon) is let in
// at once, which is exactly what those waits are there to take.
//
// Lives in the main thread; jobs are queued there and run in the worker.
class ObjectThread : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void()>;

    ObjectThread();
    ~ObjectThread() override;

    QThread *workerThread() { return &m_thread; }

    // Runs `job` in the worker once the jobs submitted before it are done.
    void submit(Job job);
    // Runs `job` in the worker at once, inside a running job's wait if there
    // is one.
    void interrupt(Job job);
    // Runs `lastJob` after every job already submitted, then ends the thread
    // and deletes this object.
    void retire(Job lastJob);

    bool isBusy() const { return m_running || !m_queue.empty(); }
    // Milliseconds since the last job ended (or since the start).
    qint64 idleMs() const { return isBusy() ? 0 : m_idleSince.elapsed(); }

private:
    void startNext();
    void jobFinished();

    QThread m_thread;
    QObject *m_context;  // lives in the worker; jobs run as its events
    std::deque<Job> m_queue;
    bool m_running = false;
    bool m_retiring = false;
    QElapsedTimer m_idleSince;
};

} // namespace bus
