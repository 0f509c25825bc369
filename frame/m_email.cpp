// SPDX-License-Identifier: MIT
#include "frame/m_email.h"

#include "compose/w_sendmail.h"
#include "frame/w_main.h"
#include "platform/dialog_service.h"
#include "platform/close_request.h"
#include "receive/w_recimail.h"

#include <QMdiArea>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace {

QAction *namedAction(QObject *parent, const char *name, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QString::fromUtf8(name));
    return action;
}

} // namespace

m_email::m_email(w_main *parentwindow) : QObject(parentwindow), m_parentwindow(parentwindow)
{
    setObjectName(QStringLiteral("m_email"));
    QStyle *style = parentwindow->style();
    m_smtp = namedAction(this, "m_smtp发邮件", QStringLiteral("SMTP发邮件"));
    m_smtp->setIcon(style->standardIcon(QStyle::SP_ArrowUp));
    m_smtp->setIconText(QStringLiteral("SMTP"));
    m_pop3 = namedAction(this, "m_pop3收邮件", QStringLiteral("POP3收邮件"));
    m_pop3->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
    m_pop3->setIconText(QStringLiteral("POP3"));
    m_exit = namedAction(this, "m_退出演示", QStringLiteral("退出演示"));
    platform::markAsCloseRequest(m_exit);
    m_exit->setIcon(style->standardIcon(QStyle::SP_DialogCloseButton));
    m_exit->setIconText(QStringLiteral("Exit"));
    m_about = namedAction(this, "m_关于", QStringLiteral("关于"));
    m_cascade = namedAction(this, "m_层叠", QStringLiteral("层叠"));
    m_tile = namedAction(this, "m_平铺", QStringLiteral("平铺"));

    connect(m_smtp, &QAction::triggered, this, [this] { m_parentwindow->opensheet<w_sendmail>(); });
    connect(m_pop3, &QAction::triggered, this, [this] { m_parentwindow->opensheet<w_recimail>(); });
    connect(m_exit, &QAction::triggered, this, [this] { m_parentwindow->close(); });
    connect(m_about, &QAction::triggered, this, &m_email::clickedAbout);
    connect(m_cascade, &QAction::triggered, parentwindow->mdiArea(), &QMdiArea::cascadeSubWindows);
    connect(m_tile, &QAction::triggered, parentwindow->mdiArea(), &QMdiArea::tileSubWindows);

    buildMenu();
    buildToolbar();
}

void m_email::buildMenu()
{
    QMenuBar *bar = m_parentwindow->menuBar();
    bar->setObjectName(QStringLiteral("m_email"));
    QMenu *demo = bar->addMenu(QStringLiteral("功能演示"));
    demo->setObjectName(QStringLiteral("m_功能演示"));
    demo->addAction(m_smtp);
    demo->addAction(m_pop3);
    demo->addSeparator()->setObjectName(QStringLiteral("m_-"));
    demo->addAction(m_exit);
    QMenu *sheets = bar->addMenu(QStringLiteral("窗口"));
    sheets->setObjectName(QStringLiteral("m_窗口"));
    sheets->addAction(m_cascade);
    sheets->addAction(m_tile);
    bar->addAction(m_about);
}

void m_email::buildToolbar()
{
    QToolBar *toolbar = m_parentwindow->addToolBar(QStringLiteral("m_email"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setMovable(false);
    toolbar->addAction(m_smtp);
    toolbar->addAction(m_pop3);
    // One spacing unit before "Exit".
    auto *space = new QWidget(toolbar);
    space->setObjectName(QStringLiteral("toolbaritemspace"));
    space->setFixedWidth(toolbar->style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent) * 2);
    toolbar->addWidget(space);
    toolbar->addAction(m_exit);
}

void m_email::clickedAbout()
{
    platform::dialogs().messageBox(QStringLiteral("orvex 电子邮件组件 1.0"),
                                   QStringLiteral("orvex —— 更多信息请访问作者主页。"));
}
