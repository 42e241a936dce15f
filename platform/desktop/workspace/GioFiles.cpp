#include "platform/GioFunctions.h"

#include "GioFiles_p.h"
#include "platform/GObjectPointer.h"

#include <memory>

namespace kestrova::platform::desktop::gio {

namespace {

std::string text(const char *value) {
    return value ? std::string(value) : std::string();
}

ApplicationRecord recordOf(GAppInfo *info) {
    ApplicationRecord record;
    record.id = text(g_app_info_get_id(info));
    record.name = text(g_app_info_get_display_name(info));
    record.executable = text(g_app_info_get_executable(info));
    if (G_IS_DESKTOP_APP_INFO(info))
        record.filePath = text(g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)));
    if (GIcon *icon = g_app_info_get_icon(info)) {
        gchar *iconText = g_icon_to_string(icon);
        record.iconName = text(iconText);
        g_free(iconText);
    }
    return record;
}

std::string takeMessage(GError *error, const char *fallback) {
    if (!error)
        return fallback;
    std::string message = error->message ? error->message : fallback;
    g_error_free(error);
    return message;
}

std::string launch(const std::string &desktopFile, GList *files, GList *uris) {
    GObjectPointer<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(desktopFile.c_str()));
    if (!info)
        return "The application’s desktop entry cannot be read.";
    GError *error = nullptr;
    const bool launched = files ? g_app_info_launch(G_APP_INFO(info.get()), files, nullptr, &error)
                                : g_app_info_launch_uris(G_APP_INFO(info.get()), uris, nullptr, &error);
    if (launched) {
        if (error)
            g_error_free(error);
        return {};
    }
    return takeMessage(error, "The application did not start.");
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

std::string launchDefaultForUri(const std::string &uri, bool *lacksApplication) {
    GError *error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
        if (error)
            g_error_free(error);
        return {};
    }
    // GIO says "not supported" when no application is registered for the content type or the scheme.
    if (lacksApplication)
        *lacksApplication = !error || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
    return takeMessage(error, "No application opens this item.");
}

std::vector<ApplicationRecord> applicationsForPath(const std::string &localPath) {
    GObjectPointer<GFile> file(g_file_new_for_path(localPath.c_str()));
    // Only regular files are sniffed; GIO types folders, pipes and devices by their kind without reading.
    GObjectPointer<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                     G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info)
        return {};
    const char *contentType = g_file_info_get_content_type(info.get());
    if (!contentType)
        return {};

    std::vector<ApplicationRecord> records;
    GObjectPointer<GAppInfo> preferred(g_app_info_get_default_for_type(contentType, FALSE));
    if (preferred)
        records.push_back(recordOf(preferred.get()));
    GList *all = g_app_info_get_all_for_type(contentType);
    for (GList *item = all; item; item = item->next) {
        auto *candidate = G_APP_INFO(item->data);
        if (!preferred || !g_app_info_equal(candidate, preferred.get()))
            records.push_back(recordOf(candidate));
    }
    g_list_free_full(all, platform::gio().g_object_unref);
    return records;
}

std::string launchWithPaths(const std::string &desktopFile, const std::vector<std::string> &localPaths) {
    GList *files = nullptr;
    for (const auto &path : localPaths)
        files = g_list_append(files, g_file_new_for_path(path.c_str()));
    if (!files)
        return launch(desktopFile, nullptr, nullptr);
    std::string failure = launch(desktopFile, files, nullptr);
    g_list_free_full(files, platform::gio().g_object_unref);
    return failure;
}

std::string launchWithUris(const std::string &desktopFile, const std::vector<std::string> &uris) {
    GList *list = nullptr;
    for (const auto &uri : uris)
        list = g_list_append(list, const_cast<char *>(uri.c_str()));
    std::string failure = launch(desktopFile, nullptr, list);
    g_list_free(list);
    return failure;
}

std::optional<ApplicationRecord> defaultMailApplication() {
    GObjectPointer<GAppInfo> info(g_app_info_get_default_for_uri_scheme("mailto"));
    if (!info)
        return std::nullopt;
    return recordOf(info.get());
}

std::vector<ApplicationRecord> shownApplications() {
    std::vector<ApplicationRecord> records;
    GList *all = g_app_info_get_all();
    for (GList *item = all; item; item = item->next) {
        auto *info = G_APP_INFO(item->data);
        if (g_app_info_should_show(info))
            records.push_back(recordOf(info));
    }
    g_list_free_full(all, platform::gio().g_object_unref);
    return records;
}

std::optional<ApplicationRecord> applicationAt(const std::string &path) {
    // Reads the file itself: a desktop entry of another type, or a file that is none, gives nothing.
    GObjectPointer<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(path.c_str()));
    if (!info)
        return std::nullopt;
    return recordOf(G_APP_INFO(info.get()));
}

} // namespace kestrova::platform::desktop::gio
