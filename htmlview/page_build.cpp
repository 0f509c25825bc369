#include "htmlview/page_build.h"

#include "htmlview/mail_page_document.h"

#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <QTextCursor>
#include <QTextDocument>

namespace htmlview {

PageSettings PageSettings::of(const QTextDocument &document)
{
    PageSettings settings;
    settings.defaultFont = document.defaultFont();
    settings.defaultStyleSheet = document.defaultStyleSheet();
    settings.defaultTextOption = document.defaultTextOption();
    settings.documentMargin = document.documentMargin();
    settings.indentWidth = document.indentWidth();
    settings.useDesignMetrics = document.useDesignMetrics();
    settings.undoRedoEnabled = document.isUndoRedoEnabled();
    settings.baseUrl = document.baseUrl();
    return settings;
}

PageBuild::PageBuild(QObject *receiver, QThread *receiverThread, std::function<void()> done)
    : m_receiver(receiver), m_receiverThread(receiverThread), m_done(std::move(done))
{
}

PageBuild::~PageBuild()
{
    delete m_document;
}

std::shared_ptr<PageBuild> PageBuild::start(const PageSettings &settings, const QString &html, QObject *receiver,
                                            std::function<void()> done)
{
    std::shared_ptr<PageBuild> pageBuild(new PageBuild(receiver, receiver->thread(), std::move(done)));
    QThreadPool::globalInstance()->start([pageBuild, settings, html] { pageBuild->build(settings, html); });
    return pageBuild;
}

void PageBuild::build(const PageSettings &settings, const QString &html)
{
    auto *document = new MailPageDocument;
    // Nothing to undo in a page that is only read; recording the import
    // would cost as much again.
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(settings.defaultFont);
    document->setDefaultStyleSheet(settings.defaultStyleSheet);
    document->setDefaultTextOption(settings.defaultTextOption);
    document->setDocumentMargin(settings.documentMargin);
    document->setIndentWidth(settings.indentWidth);
    document->setUseDesignMetrics(settings.useDesignMetrics);
    document->setBaseUrl(settings.baseUrl);
    document->setPageSize(QSizeF(0, 0));
    QTextCursor cursor(document);
    cursor.insertHtml(html);
    document->setUndoRedoEnabled(settings.undoRedoEnabled);

    QMutexLocker lock(&m_mutex);
    if (!m_receiver) { // abandoned: nobody will take it
        delete document;
        m_finished = true;
        return;
    }
    document->moveToThread(m_receiverThread);
    m_document = document;
    m_finished = true;
    m_ready.wakeAll();
    QMetaObject::invokeMethod(m_receiver, m_done, Qt::QueuedConnection);
}

QTextDocument *PageBuild::take()
{
    QMutexLocker lock(&m_mutex);
    while (!m_finished)
        m_ready.wait(&m_mutex);
    return std::exchange(m_document, nullptr);
}

void PageBuild::abandon()
{
    QMutexLocker lock(&m_mutex);
    m_receiver = nullptr;
}

} // namespace htmlview
