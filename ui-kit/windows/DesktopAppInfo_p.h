#pragma once

#include <optional>
#include <string>
#include <vector>

// The XDG application registry as GIO reads it. Kept free of Qt types so that GIO's headers and Qt's never
// meet in one file.
namespace kestrova::desktop_app_info {

struct Record {
    std::string id;       // the desktop file id ("org.example.Editor.desktop")
    std::string name;     // the display name
    std::string filePath; // the desktop file
    std::string iconName; // a theme icon name or an icon file; empty when none
};

// Every application the desktop shows in its menus, in the registry's order.
std::vector<Record> shownApplications();

// The application described by the desktop file at `path`; none when it is no valid application entry.
std::optional<Record> applicationAt(const std::string &path);

} // namespace kestrova::desktop_app_info
