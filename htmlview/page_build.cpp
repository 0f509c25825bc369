#include "htmlview/page_build.h"

#include "htmlview/mail_page.h"
#include "htmlview/page_limits.h"

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

namespace htmlview {

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
    QThreadPool::globalInstance()->start([pageBuild, settings, html] { pageBuild->build(settings, html); });
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
