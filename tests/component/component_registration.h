// SPDX-License-Identifier: MIT
#pragma once

#include "engine/n_orvex.h"

#include <QtGlobal>

namespace componenttest {

// Registers the real component library once per test process, so that the
// engine and the automation handle can make its objects by class name.
inline void ensureRegistered()
{
    static bool registered = false;
    if (!registered) {
        n_orvex engine;
        registered = engine.of_register();
        if (!registered)
            qFatal("the component library could not be registered");
    }
}

} // namespace componenttest
