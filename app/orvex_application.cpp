#include "app/orvex_application.h"

#include "engine/n_orvex.h"
#include "frame/w_main.h"
#include "platform/dialog_service.h"

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
