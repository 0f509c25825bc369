// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace platform {

// Holds the user's input back while a transfer runs inside a handler, as a
// busy program would: what he types or clicks meanwhile takes effect once
// the transfer is over, in the order he did it. The one request seen at
// once is one to close the transfer's window: the window manager's close of
// the frame, a whole click on a button of an action marked with
// markAsCloseRequest (the frame's Exit), on the close box of the sheet that
// runs the transfer, or its close key there. It calls `abandon`, which must
// end the transfer as a failure, and waits with the rest, so the window
// closes after the handler. Closing another sheet is input like any other.
//
// For this the transfer's waits must take user input from the window
// system (the component's "passuserinput"); it is this object that keeps it
// from the windows. Nested hold-backs are part of the outermost one.
class InputHoldBack {
public:
    explicit InputHoldBack(std::function<void()> abandon);
    ~InputHoldBack();
    InputHoldBack(const InputHoldBack &) = delete;
    InputHoldBack &operator=(const InputHoldBack &) = delete;

    // False where there is nothing to hold (no widgets): the transfer's
    // waits must then keep user input queued themselves.
    bool holdsInput() const;

private:
    bool m_outermost = false;
};

// The window system's side of an InputHoldBack. Only a program with windows
// has one (installWindowServices); elsewhere nothing is held, and the
// command-line front end links no widget library.
class InputHolder {
public:
    virtual ~InputHolder() = default;
    // Starts holding input back unless a hold-back is on already or there
    // are no widgets: true when this call started it.
    virtual bool begin(std::function<void()> abandon) = 0;
    // Ends what begin() started and hands the held input back.
    virtual void end() = 0;
    virtual bool holdsInput() const = 0;
};

// Installs `holder` (not owned), or with nullptr none.
void setInputHolder(InputHolder *holder);

} // namespace platform
