#pragma once

#include <QFont>
#include <QMutex>
#include <QString>
#include <QTextOption>
#include <QUrl>
#include <QWaitCondition>

#include <functional>
#include <memory>

class QObject;
class QTextDocument;
class QThread;

namespace htmlview {

// The settings of a view's document that decide how an imported page looks.
// Copied on the GUI thread, so that a worker never reads the view's
// document.
struct PageSettings {
    QFont defaultFont;
    QString defaultStyleSheet;
    QTextOption defaultTextOption;
    qreal documentMargin = 0;
    qreal indentWidth = 0;
    bool useDesignMetrics = false;
    bool undoRedoEnabled = false;
    QUrl baseUrl;

    static PageSettings of(const QTextDocument &document);
};

// Imports one page of HTML into a new document on a worker thread, as
// pasting it into an emptied document with the same settings would. The
// finished document is handed to the thread of the receiver, with its page
// size unset so that nothing lays it out before it is shown.
class PageBuild {
public:
    // `done` runs in the receiver's thread once the document is ready,
    // unless the build was abandoned first.
    static std::shared_ptr<PageBuild> start(const PageSettings &settings, const QString &html, QObject *receiver,
                                            std::function<void()> done);
    ~PageBuild();

    // Waits for the document and hands it over; the caller owns it.
    QTextDocument *take();
    // Nobody waits for the document any more: `done` is not called, and
    // the document is deleted with the build.
    void abandon();

    PageBuild(const PageBuild &) = delete;
    PageBuild &operator=(const PageBuild &) = delete;

private:
    PageBuild(QObject *receiver, QThread *receiverThread, std::function<void()> done);
    void build(const PageSettings &settings, const QString &html);

    QMutex m_mutex;
    QWaitCondition m_ready;
    QObject *m_receiver;
    QThread *m_receiverThread;
    std::function<void()> m_done;
    QTextDocument *m_document = nullptr;
    bool m_finished = false;
};

} // namespace htmlview
