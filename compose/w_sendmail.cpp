#include "compose/w_sendmail.h"

#include "platform/layout_units.h"

#include <QIcon>
#include <QStyle>

w_sendmail::w_sendmail(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("w_sendmail"));
    setWindowTitle(QStringLiteral("smtp发送邮件"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    resize(platform::unitsToPixelsX(5024), platform::unitsToPixelsY(1996));
}
