#include "app/orvex_application.h"

#include "engine/n_orvex.h"
#include "frame/w_main.h"
#include "platform/dialog_service.h"

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
