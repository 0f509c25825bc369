#include "receive/w_recimail.h"

#include "platform/layout_units.h"

#include <QIcon>
#include <QStyle>

w_recimail::w_recimail(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("w_recimail"));
    setWindowTitle(QStringLiteral("POP3收邮件"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    resize(platform::unitsToPixelsX(3739), platform::unitsToPixelsY(1976));
}
