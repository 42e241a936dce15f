// The desktop's application index through GIO. GLib's headers come first: they must not meet Qt's macros.
#include "platform/GioFunctions.h"

#include "platform/GObjectPointer.h"

#include "InstalledApp.h"
#include "foundation/app/KitHelpers.h"
#include "Workspace.h"

#include <QFileInfo>

namespace kestrova {
namespace {

using platform::GObjectPointer;

QString bundleIdentifierOf(GDesktopAppInfo *info) {
    QString id = QString::fromUtf8(g_app_info_get_id(G_APP_INFO(info)));
    if (id.isEmpty())
        id = QFileInfo(QString::fromUtf8(g_desktop_app_info_get_filename(info))).fileName();
    if (id.endsWith(QStringLiteral(".desktop")))
        id.chop(8);
    return id;
}

std::optional<QUrl> entryUrlOf(GAppInfo *info) {
    if (!info || !G_IS_DESKTOP_APP_INFO(info))
        return std::nullopt;
    const char *filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info));
    if (!filename)
        return std::nullopt;
    return QUrl::fromLocalFile(QString::fromUtf8(filename));
}

} // namespace

std::optional<InstalledApp> InstalledApp::fromURL(const QUrl &desktopEntry) {
    if (!desktopEntry.isLocalFile())
        return std::nullopt;
    GObjectPointer<GDesktopAppInfo> info(
        g_desktop_app_info_new_from_filename(QFile::encodeName(desktopEntry.toLocalFile()).constData()));
    if (!info)
        return std::nullopt;
    InstalledApp app;
    app.bundleIdentifier = bundleIdentifierOf(info.get());
    app.name = QString::fromUtf8(g_app_info_get_name(G_APP_INFO(info.get())));
    // Desktop entries carry no application version; the key some entries add is used when there.
    gchar *version = g_desktop_app_info_get_string(info.get(), "X-AppVersion");
    app.version = QString::fromUtf8(version ? version : "");
    g_free(version);
    app.build = app.version;
    app.url = desktopEntry;
    app.isBrowser = std::make_shared<SimpleOnce<QString, bool>>(
        [](const QString &id) { return workspace::opensWebLinks(id); });
    return app;
}

namespace workspace {

std::optional<QUrl> urlForApplication(const QString &bundleIdentifier) {
    if (bundleIdentifier.isEmpty() || bundleIdentifier.contains(QLatin1Char('/')))
        return std::nullopt;
    GObjectPointer<GDesktopAppInfo> info(
        g_desktop_app_info_new((bundleIdentifier + QStringLiteral(".desktop")).toUtf8().constData()));
    return info ? entryUrlOf(G_APP_INFO(info.get())) : std::nullopt;
}

std::optional<QUrl> urlForApplicationToOpen(const QString &scheme) {
    GObjectPointer<GAppInfo> info(g_app_info_get_default_for_uri_scheme(scheme.toUtf8().constData()));
    return entryUrlOf(info.get());
}

bool launchApplication(const QUrl &desktopEntry) {
    if (!desktopEntry.isLocalFile())
        return false;
    GObjectPointer<GDesktopAppInfo> info(
        g_desktop_app_info_new_from_filename(QFile::encodeName(desktopEntry.toLocalFile()).constData()));
    if (!info)
        return false;
    GError *error = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &error);
    if (error)
        g_error_free(error);
    return launched;
}

bool opensWebLinks(const QString &bundleIdentifier) {
    GList *handlers = g_app_info_get_all_for_type("x-scheme-handler/https");
    bool found = false;
    for (GList *item = handlers; item; item = item->next) {
        auto *info = static_cast<GAppInfo *>(item->data);
        if (G_IS_DESKTOP_APP_INFO(info) && bundleIdentifierOf(G_DESKTOP_APP_INFO(info)) == bundleIdentifier)
            found = true;
    }
    g_list_free_full(handlers, platform::gio().g_object_unref);
    return found;
}

std::optional<QString> defaultEmailClientBundleIdentifier() {
    const auto url = defaultEmailClientURL();
    if (!url)
        return std::nullopt;
    const auto app = InstalledApp::fromURL(*url);
    if (!app || app->bundleIdentifier.isEmpty())
        return std::nullopt;
    return app->bundleIdentifier;
}

} // namespace workspace
} // namespace kestrova

namespace kestrova {

bool InstalledApp::operator==(const InstalledApp &other) const {
    return bundleIdentifier == other.bundleIdentifier && name == other.name && version == other.version &&
           build == other.build && url == other.url && isBrowser == other.isBrowser;
}

} // namespace kestrova
