#pragma once

#include "platform/workspace/Pasteboard.h"

#include <memory>
#include <vector>

namespace kestrova::testing {

// A clipboard held in memory: keeps what was written and counts the writes.
class InMemoryPasteboard : public platform::Pasteboard {
public:
    void clearContents() override { m_items.clear(); }
    bool writeObjects(const std::vector<platform::PasteboardItem> &items) override {
        m_items = items;
        ++m_writeCount;
        return true;
    }
    std::vector<platform::PasteboardItem> pasteboardItems() const override { return m_items; }
    int writeCount() const { return m_writeCount; }

private:
    std::vector<platform::PasteboardItem> m_items;
    int m_writeCount = 0;
};

// Installs an in-memory general clipboard for as long as it lives.
class ScopedInMemoryPasteboard {
public:
    ScopedInMemoryPasteboard() { platform::Pasteboard::setGeneral(m_pasteboard); }
    ~ScopedInMemoryPasteboard() { platform::Pasteboard::setGeneral(nullptr); }
    ScopedInMemoryPasteboard(const ScopedInMemoryPasteboard &) = delete;
    ScopedInMemoryPasteboard &operator=(const ScopedInMemoryPasteboard &) = delete;

    InMemoryPasteboard &pasteboard() { return *m_pasteboard; }

private:
    std::shared_ptr<InMemoryPasteboard> m_pasteboard = std::make_shared<InMemoryPasteboard>();
};

} // namespace kestrova::testing
