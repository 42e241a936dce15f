#pragma once

// GLib's headers before Qt's: GLib's must not meet Qt's keyword macros. Only for code compiled with GIO.
#include <glib-object.h>

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
