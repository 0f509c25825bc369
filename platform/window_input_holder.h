// SPDX-License-Identifier: MIT
#pragma once

#include "platform/input_hold_back.h"

namespace platform {

// Holds input back with an application-wide event filter that takes the
// user's input on its way to the windows and hands it to them again once
// the transfer is over; needs a QApplication.
class WindowInputHolder : public InputHolder {
public:
    bool begin(std::function<void()> abandon) override;
    void end() override;
    bool holdsInput() const override;
};

} // namespace platform
