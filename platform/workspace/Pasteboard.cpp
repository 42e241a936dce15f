#include "Pasteboard.h"

#include "platform/SharedService_p.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace kestrova::platform {

bool PasteboardItem::setData(const QByteArray &data, const QString &type) {
    if (type.isEmpty())
        return false;
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const auto &entry) { return entry.first == type; });
    if (found != m_entries.end())
        found->second = data;
    else
        m_entries.emplace_back(type, data);
    return true;
}

QByteArray PasteboardItem::data(const QString &type) const {
    for (const auto &[name, bytes] : m_entries)
        if (name == type)
            return bytes;
    return {};
}

bool PasteboardItem::hasType(const QString &type) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const auto &entry) { return entry.first == type; });
}

std::vector<QString> PasteboardItem::types() const {
    std::vector<QString> names;
    for (const auto &entry : m_entries)
        names.push_back(entry.first);
    return names;
}

namespace {

class NoDesktopPasteboard final : public Pasteboard {
public:
    void clearContents() override {}
    bool writeObjects(const std::vector<PasteboardItem> &) override {
        std::fprintf(stderr, "Kestrova: there is no clipboard to copy to here\n");
        return false;
    }
    std::vector<PasteboardItem> pasteboardItems() const override { return {}; }
};

SharedService<Pasteboard, NoDesktopPasteboard> &sharedPasteboard() {
    static SharedService<Pasteboard, NoDesktopPasteboard> shared;
    return shared;
}

} // namespace

Pasteboard &Pasteboard::general() {
    return sharedPasteboard().get();
}

void Pasteboard::setGeneral(std::shared_ptr<Pasteboard> pasteboard) {
    sharedPasteboard().set(std::move(pasteboard));
}

} // namespace kestrova::platform
