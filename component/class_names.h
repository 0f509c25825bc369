// SPDX-License-Identifier: MIT
#pragma once

namespace component {

// The classes this library makes, as they are registered and created.
inline constexpr const char *kClassNames[] = {
    "orvex.Message", "orvex.POP3", "orvex.Attachments", "orvex.Attachment", "orvex.Recipients", "orvex.Recipient",
};

} // namespace component
