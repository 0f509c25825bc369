// SPDX-License-Identifier: MIT
#include "platform/window_services.h"

#include "platform/dialog_service.h"
#include "platform/input_hold_back.h"
#include "platform/qt_dialog_service.h"
#include "platform/window_input_holder.h"

namespace platform {

void installWindowServices()
{
    static QtDialogService qtDialogs;
    static WindowInputHolder windowInput;
    setDefaultDialogService(&qtDialogs);
    setInputHolder(&windowInput);
}

} // namespace platform
