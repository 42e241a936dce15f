#include "DesktopAppInfo_p.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace kestrova::desktop_app_info {

namespace {

std::string text(const char *value) {
    return value ? std::string(value) : std::string();
}

Record recordOf(GAppInfo *info) {
    Record record;
    record.id = text(g_app_info_get_id(info));
    record.name = text(g_app_info_get_display_name(info));
    if (G_IS_DESKTOP_APP_INFO(info))
        record.filePath = text(g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)));
    if (GIcon *icon = g_app_info_get_icon(info)) {
        gchar *iconText = g_icon_to_string(icon);
        record.iconName = text(iconText);
        g_free(iconText);
    }
    return record;
}

} // namespace

std::vector<Record> shownApplications() {
    std::vector<Record> records;
    GList *all = g_app_info_get_all();
    for (GList *item = all; item; item = item->next) {
        auto *info = G_APP_INFO(item->data);
        if (g_app_info_should_show(info))
            records.push_back(recordOf(info));
    }
    g_list_free_full(all, g_object_unref);
    return records;
}

std::optional<Record> applicationAt(const std::string &path) {
    // Reads the file itself: a desktop entry of another type, or a file that is none, gives nothing.
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(path.c_str());
    if (!info)
        return std::nullopt;
    Record record = recordOf(G_APP_INFO(info));
    g_object_unref(info);
    return record;
}

} // namespace kestrova::desktop_app_info
