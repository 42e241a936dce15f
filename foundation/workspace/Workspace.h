#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace kestrova::workspace {

// The desktop entry of the application with this id ("org.example.App"), found through the desktop's
// application index; none when it is not installed.
std::optional<QUrl> urlForApplication(const QString &bundleIdentifier);
// The same, reusing a result for 1 second.
std::optional<QUrl> cachedURLForApplication(const QString &bundleIdentifier);
// The desktop entry of the application that opens links of `scheme` ("mailto").
std::optional<QUrl> urlForApplicationToOpen(const QString &scheme);
// Starts the application of a desktop entry; false when it did not start.
bool launchApplication(const QUrl &desktopEntry);
// Whether the application with this id is among those that open web links.
bool opensWebLinks(const QString &bundleIdentifier);

// The user's mail application and its id; none when no application opens "mailto:" links.
std::optional<QUrl> defaultEmailClientURL();
std::optional<QString> defaultEmailClientBundleIdentifier();

// There is no system settings pane to open here: the request is logged and nothing opens.
void openSystemSettings(const QString &pane);
// Explains, in an alert, how file access works on this system; nothing opens.
void openFilesAndFoldersPrivacySettings();

} // namespace kestrova::workspace
