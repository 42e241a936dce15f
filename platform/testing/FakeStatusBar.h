#pragma once

#include "platform/menus/Menu.h"
#include "platform/status/StatusItem.h"

#include <memory>
#include <vector>

namespace kestrova::testing {

// A status item in memory that tests click, re-theme and read back. Menus open and close in the model
// only, with the presenter's order of notifications; choose() closes and then runs the row.
class FakeStatusItem : public platform::DetachedStatusItem {
public:
    void popUpMenu(const std::shared_ptr<platform::Menu> &menu) override {
        ++popUpCount;
        DetachedStatusItem::popUpMenu(menu);
    }
    void closeMenu() override {
        if (m_openMenu)
            ++closeCount;
        DetachedStatusItem::closeMenu();
    }
    QRect geometry() const override { return trayGeometry; }
    bool isTrayAvailable() const override { return trayAvailable; }
    bool isGeometryKnown() const override { return geometryKnown; }
    bool isOtherKindOfTrayAvailable() const override { return otherKindOfTrayAvailable; }

    // What the tray would report for a click.
    void click(const platform::StatusItemClick &click = {}) {
        if (m_onClick)
            m_onClick(click);
    }
    void setPanelAppearance(platform::SymbolImage::Appearance appearance) {
        m_appearance = appearance;
        if (m_onAppearanceChange)
            m_onAppearanceChange();
    }
    // Closes the open menu, then runs the row, as a person choosing it.
    bool choose(const std::shared_ptr<platform::MenuItem> &item) {
        closeMenu();
        return item && item->performAction();
    }

    int popUpCount = 0;
    int closeCount = 0;
    QRect trayGeometry;
    bool trayAvailable = true;
    bool geometryKnown = true;
    bool otherKindOfTrayAvailable = false;
};

// Makes FakeStatusItems and keeps a weak list of them, in order.
class FakeStatusBar : public platform::StatusBar {
public:
    std::shared_ptr<platform::StatusItem> createStatusItem() override {
        auto item = std::make_shared<FakeStatusItem>();
        created.push_back(item);
        return item;
    }
    std::vector<std::weak_ptr<FakeStatusItem>> created;
};

// Installs a FakeStatusBar as the shared status bar for the scope.
class ScopedFakeStatusBar {
public:
    ScopedFakeStatusBar() { platform::StatusBar::setShared(m_statusBar); }
    ~ScopedFakeStatusBar() { platform::StatusBar::setShared(nullptr); }
    ScopedFakeStatusBar(const ScopedFakeStatusBar &) = delete;
    ScopedFakeStatusBar &operator=(const ScopedFakeStatusBar &) = delete;

    FakeStatusBar &statusBar() { return *m_statusBar; }
    std::shared_ptr<FakeStatusItem> item(std::size_t index) const {
        return m_statusBar->created.at(index).lock();
    }

private:
    std::shared_ptr<FakeStatusBar> m_statusBar = std::make_shared<FakeStatusBar>();
};

} // namespace kestrova::testing
