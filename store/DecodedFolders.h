#pragma once

#include "Folder.h"

#include "platform/defaults/PropertyListValue.h"

#include <optional>
#include <vector>

namespace kestrova {

// The stored list under "folders", read and decoded ahead of its use: a thousand records take longer than a
// frame to decode, so a start decodes them on the thread that reads the settings. Made on any thread; the
// list is taken on the main thread, and only while "folders" still holds what was decoded.
class DecodedFolders {
public:
    // Reads "folders" from its suite now and decodes it. Any thread.
    static DecodedFolders read();

    // The list decoded ahead, when "folders" still holds what it was decoded from; else the list decoded
    // now. Main thread.
    std::vector<Folder> take() &&;

private:
    DecodedFolders() = default;
    static std::vector<Folder> decode(const std::optional<platform::PropertyListValue> &stored);

    std::optional<platform::PropertyListValue> m_stored;
    std::vector<Folder> m_folders;
};

} // namespace kestrova
