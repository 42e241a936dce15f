#include <gio/gio.h>

#include "GioFiles_p.h"

namespace kestrova::platform::desktop::gio {

namespace {

std::string takeMessage(GError *error, const char *fallback) {
    if (!error)
        return fallback;
    std::string message = error->message ? error->message : fallback;
    g_error_free(error);
    return message;
}

} // namespace

std::string trash(const std::string &localPath) {
    GFile *file = g_file_new_for_path(localPath.c_str());
    GError *error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed) {
        if (error)
            g_error_free(error);
        return {};
    }
    return takeMessage(error, "The item could not be moved to the Trash.");
}

std::string launchDefaultForUri(const std::string &uri) {
    GError *error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
        if (error)
            g_error_free(error);
        return {};
    }
    return takeMessage(error, "No application opens this item.");
}

} // namespace kestrova::platform::desktop::gio
