#include "app/orvex_application.h"

#include "compose/mailto_link.h"
#include "compose/w_sendmail.h"
#include "engine/n_orvex.h"
#include "frame/w_main.h"
#include "platform/dialog_service.h"

#include <QMdiSubWindow>

w_main *orvex::open(const QString &commandline)
{
    Q_UNUSED(commandline);
    bool registered = false;
    {
        n_orvex ln_orvex;
        registered = ln_orvex.of_register();
    }
    if (!registered) {
        platform::dialogs().messageBox(QString(""), QStringLiteral("注册orvex组件失败！"));
        return nullptr;
    }
    auto *frame = new w_main;
    frame->show();
    return frame;
}

void orvex::openMailto(w_main &frame, const QString &link)
{
    if (auto *sheet = qobject_cast<w_sendmail *>(frame.opensheet<w_sendmail>()->widget()))
        sheet->fillFromMailto(parseMailtoLink(link));
}
