#pragma once

// Plain C++ on purpose: the GIO side is compiled without Qt's headers, whose macros clash with GLib's.
#include <optional>
#include <string>
#include <vector>

namespace kestrova::platform::desktop::gio {

// Each answers an empty string when it worked, else GLib's description of the failure.

// Moves a local file or folder (a path in the file system's encoding) to the desktop's Trash.
std::string trash(const std::string &localPath);
// Opens an encoded URI with the application the desktop associates with its content. `lacksApplication`,
// when given, tells whether it failed because nothing is associated with it.
std::string launchDefaultForUri(const std::string &uri, bool *lacksApplication = nullptr);

// An application of the desktop's registry as GIO describes it.
struct ApplicationRecord {
    std::string id;         // the desktop file id ("org.example.Editor.desktop")
    std::string name;       // the display name
    std::string filePath;   // the desktop file
    std::string iconName;   // a theme icon name or an icon file; empty when none
    std::string executable; // the program the entry starts (its Exec line's first word)
};

// The applications for the content type of the item at `localPath` (path bytes; a symbolic link is
// followed), the default one first; none when the item cannot be read.
std::vector<ApplicationRecord> applicationsForPath(const std::string &localPath);

// Starts the application of the desktop file with the local items (path bytes); an empty string when it
// started, else GLib's description of the failure.
std::string launchWithPaths(const std::string &desktopFile, const std::vector<std::string> &localPaths);
// The same with encoded URIs.
std::string launchWithUris(const std::string &desktopFile, const std::vector<std::string> &uris);

// Every application the desktop shows in its menus, in the registry's order.
std::vector<ApplicationRecord> shownApplications();
// The application described by the desktop file at `path`; none when it is no valid application entry.
std::optional<ApplicationRecord> applicationAt(const std::string &path);

// The application that opens "mailto:" links; none when there is none.
std::optional<ApplicationRecord> defaultMailApplication();

} // namespace kestrova::platform::desktop::gio
