#pragma once

#include "platform/workspace/Pasteboard.h"

namespace kestrova::platform::desktop {

// The system clipboard. Plain text goes in as the desktop's text type, every other type (bytes under the
// bare "text/plain" among them) as raw MIME data. Reading gives one item with every type the clipboard
// offers; plain text comes back as written, under the UTF-8 text type when it is valid UTF-8.
class ClipboardPasteboard : public Pasteboard {
public:
    void clearContents() override;
    bool writeObjects(const std::vector<PasteboardItem> &items) override;
    std::vector<PasteboardItem> pasteboardItems() const override;
};

} // namespace kestrova::platform::desktop
