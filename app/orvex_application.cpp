// SPDX-License-Identifier: MIT
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
    n_orvex ln_orvex;
    if (!ln_orvex.of_register()) {
        platform::dialogs().messageBox(QString(""), QStringLiteral("注册orvex组件失败！"), ln_orvex.is_failure.reason);
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
