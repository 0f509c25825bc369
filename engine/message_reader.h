// SPDX-License-Identifier: MIT
#pragma once

#include "engine/attachment_targets.h"
#include "engine/component_calls.h"
#include "engine/stru_mail.h"

#include "platform/automation_object.h"

namespace engine {

// The component objects a fetch reads one message through: the message
// itself and the collection and element handles for its recipients and
// attachments, reused from message to message.
struct MessageHandles {
    platform::AutomationObject &message;
    platform::AutomationObject &attachments;
    platform::AutomationObject &attachment;
    platform::AutomationObject &recipients;
    platform::AutomationObject &recipient;
};

// Copies the message that handles.message is bound to into `record`:
// sender, date, recipients, subject, body, and its attachments, each saved
// into the fetch's folder. False (through `calls`) at the first call that
// fails; `record` is then incomplete and must not be kept.
bool readMessage(ComponentCalls &calls, MessageHandles handles, AttachmentTargets &targets, stru_mail &record);

} // namespace engine
