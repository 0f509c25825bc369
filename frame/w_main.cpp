// SPDX-License-Identifier: MIT
#include "frame/w_main.h"

#include "compose/w_sendmail.h"
#include "frame/m_email.h"
#include "platform/close_request.h"
#include "platform/layout_units.h"
#include "platform/transfer_progress.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>

w_main::w_main(QWidget *parent) : QMainWindow(parent), m_mdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("w_main"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("orvex —— 最稳定的C++电子邮件系统，收发成功率100%"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));

    m_mdi->setObjectName(QStringLiteral("mdi_1"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_mdi);
    statusBar()->setObjectName(QStringLiteral("statusbar"));
    showTransferProgressInStatusBar();
    m_menu = new m_email(this);

    fitDesignSizeToScreen();
    closeSheetsWithTheUsualKeys();

    // The open event: the user lands on the send form.
    opensheet<w_sendmail>();
}

w_main::~w_main() = default;

void w_main::fitDesignSizeToScreen()
{
    const QSize design(platform::unitsToPixelsX(3602), platform::unitsToPixelsY(2304));
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(design);
        return;
    }
    // The window manager adds a title bar and a border around the frame;
    // where the design size leaves no room for them, the frame opens
    // maximised instead, which the window manager fits to the screen.
    const QRect available = screen->availableGeometry();
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QSize room = available.size() - QSize(2 * border, titleBar + 2 * border);
    const QSize size = design.boundedTo(room);
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    if (size != design)
        setWindowState(Qt::WindowMaximized);
    // A sheet larger than the space left for it scrolls.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void w_main::closeSheetsWithTheUsualKeys()
{
    // The active sheet closes with Ctrl+F4 and with Ctrl+W whatever the
    // platform's own binding is; that one a sheet already has in its
    // window menu, and a second shortcut on the same key would make both
    // ambiguous.
    const QList<QKeySequence> platformKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence &key : platform::sheetCloseKeys()) {
        if (platformKeys.contains(key))
            continue;
        auto *shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, m_mdi, &QMdiArea::closeActiveSubWindow);
    }
}

void w_main::showTransferProgressInStatusBar()
{
    // A transfer runs inside its handler: the text is painted at once, not
    // when the handler is over.
    QPointer<QStatusBar> bar = statusBar();
    QPointer<QProgressBar> amount = new QProgressBar(bar);
    amount->setObjectName(QStringLiteral("progressbar"));
    amount->setMaximumWidth(platform::unitsToPixelsX(800));
    amount->hide();
    bar->addPermanentWidget(amount);
    platform::setTransferProgressSink([bar, amount](const QString &text) {
        if (!bar)
            return;
        if (text.isEmpty()) {
            bar->clearMessage();
            amount->hide();
        } else {
            bar->showMessage(text);
        }
        bar->repaint();
    });
    // A transfer of any size fills the bar in thousandths.
    platform::setTransferAmountSink([amount](qint64 done, qint64 total) {
        if (!amount || total <= 0)
            return;
        amount->setRange(0, 1000);
        amount->setValue(int(std::clamp(done, qint64(0), total) * 1000 / total));
        amount->show();
    });
}

QMdiSubWindow *w_main::findSheet(const char *className) const
{
    const QList<QMdiSubWindow *> sheets = m_mdi->subWindowList();
    for (QMdiSubWindow *sheet : sheets) {
        if (!isOpen(sheet))
            continue;
        if (sheet->widget()->inherits(className)) {
            // Minimized or shaded, it is brought back as it was.
            if (sheet->isMinimized() || sheet->isShaded())
                sheet->showNormal();
            m_mdi->setActiveSubWindow(sheet);
            sheet->raise();
            return sheet;
        }
    }
    return nullptr;
}

bool w_main::isOpen(const QMdiSubWindow *sheet)
{
    // A sheet being closed (hidden, its deletion still pending) no longer
    // counts as open; a minimized or shaded one hides only its contents.
    if (sheet->isHidden() || !sheet->widget())
        return false;
    return !sheet->widget()->isHidden() || sheet->isMinimized() || sheet->isShaded();
}

bool w_main::eventFilter(QObject *watched, QEvent *event)
{
    // A sheet may close itself (not through its subwindow's close box); its
    // empty subwindow must not stay behind in the frame. Checked once the
    // close has run, since the sheet may refuse it.
    if (event->type() == QEvent::Close) {
        auto *sheet = qobject_cast<QWidget *>(watched);
        QPointer<QMdiSubWindow> window = sheet ? qobject_cast<QMdiSubWindow *>(sheet->parentWidget()) : nullptr;
        QPointer<QWidget> closing = sheet;
        if (window) {
            QMetaObject::invokeMethod(
                    this,
                    [window, closing] {
                        if (window && !window->isHidden() && (!closing || closing->isHidden())
                            && !window->isMinimized())
                            window->close();
                    },
                    Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void w_main::keepDesignSize(QMdiSubWindow *window, const QSize &design)
{
    // Maximised, the sheet never shrinks below what its controls cover:
    // where the frame is smaller, it scrolls. Restored from maximised, the
    // sheet comes back at its design size (Qt would bring back the size it
    // had before its contents were laid out); then the user sizes it.
    const QRect covered = window->widget()->childrenRect();
    const QSize needed(covered.right() + 1 + platform::unitsToPixelsX(32),
                       covered.bottom() + 1 + platform::unitsToPixelsY(32));
    window->widget()->setMinimumSize(needed);
    connect(window, &QMdiSubWindow::windowStateChanged, window,
            [window, design, needed](Qt::WindowStates before, Qt::WindowStates now) {
                QWidget *sheet = window->widget();
                if (!sheet)
                    return;
                sheet->setMinimumSize(now.testFlag(Qt::WindowMaximized) ? needed : QSize());
                if (before.testFlag(Qt::WindowMaximized) && !(now & (Qt::WindowMaximized | Qt::WindowMinimized)))
                    window->resize(window->size() - sheet->size() + design);
            });
}

QMdiSubWindow *w_main::addSheet(QWidget *sheet)
{
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    const QSize design = sheet->size();
    QMdiSubWindow *window = m_mdi->addSubWindow(sheet);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(sheet->windowIcon());
    sheet->installEventFilter(this);
    keepDesignSize(window, design);
    window->showMaximized();
    m_mdi->setActiveSubWindow(window);
    return window;
}
