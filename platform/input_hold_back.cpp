// SPDX-License-Identifier: MIT
#include "platform/input_hold_back.h"

namespace platform {

namespace {
InputHolder *g_holder = nullptr;
}

void setInputHolder(InputHolder *holder)
{
    g_holder = holder;
}

InputHoldBack::InputHoldBack(std::function<void()> abandon)
{
    m_outermost = g_holder && g_holder->begin(std::move(abandon));
}

InputHoldBack::~InputHoldBack()
{
    if (m_outermost)
        g_holder->end();
}

bool InputHoldBack::holdsInput() const
{
    return g_holder && g_holder->holdsInput();
}

} // namespace platform
