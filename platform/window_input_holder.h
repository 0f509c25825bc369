#pragma once

#include "platform/input_hold_back.h"

namespace platform {

// Holds input back by standing between the window system's event queue
// and the widgets; needs a QApplication.
class WindowInputHolder : public InputHolder {
public:
    bool begin(std::function<void()> abandon) override;
    void end() override;
    bool holdsInput() const override;
};

} // namespace platform
