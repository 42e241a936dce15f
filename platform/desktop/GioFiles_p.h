#pragma once

// Plain C++ on purpose: the GIO side is compiled without Qt's headers, whose macros clash with GLib's.
#include <string>

namespace kestrova::platform::desktop::gio {

// Each answers an empty string when it worked, else GLib's description of the failure.

// Moves a local file or folder (a path in the file system's encoding) to the desktop's Trash.
std::string trash(const std::string &localPath);
// Opens an encoded URI with the application the desktop associates with its content.
std::string launchDefaultForUri(const std::string &uri);

} // namespace kestrova::platform::desktop::gio
