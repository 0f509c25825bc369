// SPDX-License-Identifier: MIT
#pragma once

#include "htmlview/page_container.h"

#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <functional>
#include <memory>

class QObject;
class QThread;

namespace htmlview {

class MailPage;

// A page prepared on a worker thread: laid out when it stays within the
// layout limits, else reduced to its plain text. Either way the work is
// bounded by the length of the page.
struct PreparedPage {
    std::unique_ptr<MailPage> page;  // null when the page is shown as text
    QString plainText;

    static PreparedPage of(const QString &html, const PageSettings &settings);
};

// Prepares one page on a worker thread and hands it to the thread of the
// receiver.
class PageBuild {
public:
    // `done` runs in the receiver's thread once the page is ready, unless
    // the build was abandoned first.
    static std::shared_ptr<PageBuild> start(const PageSettings &settings, const QString &html, QObject *receiver,
                                            std::function<void()> done);
    ~PageBuild();

    // Waits for the page and hands it over.
    PreparedPage take();
    // Nobody waits for the page any more: `done` is not called, and the
    // page goes with the build.
    void abandon();

    PageBuild(const PageBuild &) = delete;
    PageBuild &operator=(const PageBuild &) = delete;

private:
    PageBuild(QObject *receiver, std::function<void()> done);
    void build(const PageSettings &settings, const QString &html);

    QMutex m_mutex;
    QWaitCondition m_ready;
    QObject *m_receiver;
    std::function<void()> m_done;
    PreparedPage m_prepared;
    bool m_finished = false;
};

} // namespace htmlview
