#pragma once

// GLib's headers before Qt's (GioFunctions.h brings them).
#include "platform/GioFunctions.h"

#include <memory>

namespace kestrova::platform {

// Owns one GObject reference and drops it when it goes.
struct GObjectDeleter {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GObjectPointer = std::unique_ptr<T, GObjectDeleter>;

} // namespace kestrova::platform
