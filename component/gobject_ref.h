// SPDX-License-Identifier: MIT
#pragma once

#include "component/gmime_support.h"

namespace component {

// Owns one reference to a GLib object (a GMime stream, part, parser...) and
// drops it when it goes out of scope.
template <typename T>
class GObjectRef {
public:
    explicit GObjectRef(T *object = nullptr) : m_object(object) {}
    ~GObjectRef()
    {
        if (m_object)
            g_object_unref(m_object);
    }
    GObjectRef(const GObjectRef &) = delete;
    GObjectRef &operator=(const GObjectRef &) = delete;

    T *get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T *m_object;
};

} // namespace component
