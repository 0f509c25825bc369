// SPDX-License-Identifier: MIT
#include "htmlview/page_build.h"

#include "htmlview/mail_page.h"
#include "htmlview/page_limits.h"

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <cerrno>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace htmlview {

namespace {

// The threads that prepare pages. They run a little behind the window's
// own thread, so that a long page being prepared does not slow the paint
// of its first screenful or the user's next click.
QThreadPool &pagePool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(2);
        return p;
    }();
    return *pool;
}

void yieldToTheWindow()
{
#ifdef Q_OS_LINUX
    thread_local bool lowered = false;
    if (lowered)
        return;
    // A thread's nice value is its own on Linux (0: the calling thread).
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        setpriority(PRIO_PROCESS, 0, std::min(nice + 5, 19));
    lowered = true;
#endif
}

} // namespace

PreparedPage PreparedPage::of(const QString &html, const PageSettings &settings)
{
    PreparedPage prepared;
    if (fitsLayout(html))
        prepared.page = MailPage::layOut(html, settings);
    else
        prepared.plainText = plainTextOf(html);
    return prepared;
}

PageBuild::PageBuild(QObject *receiver, std::function<void()> done) : m_receiver(receiver), m_done(std::move(done))
{
}

PageBuild::~PageBuild() = default;

std::shared_ptr<PageBuild> PageBuild::start(const PageSettings &settings, const QString &html, QObject *receiver,
                                            std::function<void()> done)
{
    std::shared_ptr<PageBuild> pageBuild(new PageBuild(receiver, std::move(done)));
    pagePool().start([pageBuild, settings, html] {
        yieldToTheWindow();
        pageBuild->build(settings, html);
    });
    return pageBuild;
}

void PageBuild::build(const PageSettings &settings, const QString &html)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_receiver) { // abandoned before it began
            m_finished = true;
            return;
        }
    }
    PreparedPage prepared = PreparedPage::of(html, settings);

    QMutexLocker lock(&m_mutex);
    m_prepared = std::move(prepared);
    m_finished = true;
    m_ready.wakeAll();
    if (m_receiver)
        QMetaObject::invokeMethod(m_receiver, m_done, Qt::QueuedConnection);
}

PreparedPage PageBuild::take()
{
    QMutexLocker lock(&m_mutex);
    while (!m_finished)
        m_ready.wait(&m_mutex);
    return std::move(m_prepared);
}

void PageBuild::abandon()
{
    QMutexLocker lock(&m_mutex);
    m_receiver = nullptr;
}

} // namespace htmlview
