#pragma once

#include "platform/Pasteboard.h"

namespace kestrova::platform::desktop {

// The system clipboard. Plain text goes in as the desktop's text type, every other type as raw MIME data.
// Reading gives one item with every type the clipboard offers.
class ClipboardPasteboard : public Pasteboard {
public:
    void clearContents() override;
    bool writeObjects(const std::vector<PasteboardItem> &items) override;
    std::vector<PasteboardItem> pasteboardItems() const override;
};

} // namespace kestrova::platform::desktop
