// SPDX-License-Identifier: MIT
#include "engine/component_notice.h"

#include "platform/dialog_service.h"

namespace engine {

void reportMissingComponent()
{
    platform::dialogs().messageBox(QStringLiteral("提示"), QStringLiteral("请先注册orvex组件！"));
}

} // namespace engine
