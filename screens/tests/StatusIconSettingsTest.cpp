// The icon and colour settings as the configuration windows embed them, followed all the way to the status
// items the application shows: what a person picks is stored and drawn in the tray at once.
#include "screens/colors/ColorCircleButton.h"
#include "screens/colors/MenuBarColorPicker.h"
#include "screens/colors/ReusableMenuBarItemColorSetting.h"
#include "screens/icons/CustomIconPicker.h"
#include "screens/icons/MenuBarItemIconSetting.h"
#include "screens/symbols/RecentlyUsedSymbols.h"
#include "screens/symbols/SymbolPicker.h"
#include "screens/symbols/SymbolPickerScreen.h"
#include "screens/symbols/SymbolSearch.h"

#include "menubar/FolderMenuBarItem.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "platform/status/PanelAppearance.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::platform::SymbolImage;
using kestrova::testing::processEventsUntil;

namespace {

// The desktop's look as a portal would state it, switched by the test.
class StatedAppearance : public platform::PanelAppearance {
public:
    std::optional<SymbolImage::Appearance> preferredAppearance() const override { return stated; }
    void state(SymbolImage::Appearance appearance) {
        stated = appearance;
        notifyChange();
    }
    std::optional<SymbolImage::Appearance> stated = SymbolImage::Appearance::light;
};

class StatusIconSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        platform::PanelAppearance::setShared(m_appearance);
        m_window.setLayout(new QVBoxLayout);
    }
    void TearDown() override {
        platform::PanelAppearance::setShared(nullptr);
        Defaults::Keys::folders().reset();
        Defaults::Keys::menuBarItemIcon().reset();
        recentlyUsedSymbolsKey().reset();
    }

    template <typename Setting> Setting *show(Setting *setting) {
        m_window.layout()->addWidget(setting);
        m_window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        return setting;
    }

    // Opens the setting's symbol picker, types `query` and takes the best match with Return.
    QString pickSymbol(MenuBarItemIconSetting &setting, const QString &query) {
        QTest::mouseClick(setting.symbolPicker()->button(), Qt::LeftButton);
        SymbolPickerScreen *screen = setting.symbolPicker()->pickerScreen();
        EXPECT_TRUE(screen && QTest::qWaitForWindowExposed(screen));
        for (const QChar character : query)
            QTest::keyClick(screen->windowHandle(), character.toLatin1());
        QTest::keyClick(screen->windowHandle(), Qt::Key_Return);
        EXPECT_TRUE(processEventsUntil([&] { return !setting.symbolPicker()->isPickerPresented(); }));
        return SymbolSearch::catalogue().searchResults(query).value(0);
    }

    Folder storeFolder(const QString &name) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
        return folder;
    }
    static Folder stored() { return Defaults::get(Defaults::Keys::folders()).at(0); }

    kestrova::testing::ScopedFakeStatusBar m_bar;
    std::shared_ptr<StatedAppearance> m_appearance = std::make_shared<StatedAppearance>();
    QTemporaryDir m_root;
    QWidget m_window;
};

} // namespace

TEST_F(StatusIconSettingsTest, MainIconSymbolAndKindReachTheTrayAtOnce) {
    MenuBarItems items;
    ASSERT_NE(items.mainItem(), nullptr);
    const auto tray = m_bar.item(0);
    auto *setting = show(MenuBarItemIconSetting::forMainIcon());
    EXPECT_TRUE(setting->kindButton(MenuBarItemIcon::Kind::symbol)->isChecked());
    EXPECT_TRUE(setting->symbolPicker()->isVisible());
    EXPECT_FALSE(setting->customIconPicker()->isVisible());
    EXPECT_FALSE(setting->templateToggle()->isVisible());

    const QString picked = pickSymbol(*setting, QStringLiteral("house"));
    ASSERT_FALSE(picked.isEmpty());
    EXPECT_EQ(Defaults::get(Defaults::Keys::menuBarItemIcon()).symbolName, picked);
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().symbol.name() == picked; }));

    // Custom without a picture: the placeholder at 16 pt; the symbol is kept for switching back.
    QTest::mouseClick(setting->kindButton(MenuBarItemIcon::Kind::custom), Qt::LeftButton);
    EXPECT_EQ(Defaults::get(Defaults::Keys::menuBarItemIcon()).type, MenuBarItemIcon::Kind::custom);
    EXPECT_FALSE(setting->symbolPicker()->isVisible());
    EXPECT_TRUE(setting->customIconPicker()->isVisible());
    EXPECT_TRUE(setting->templateToggle()->isVisible());
    EXPECT_TRUE(processEventsUntil([&] {
        return tray->image().symbol.name() == QStringLiteral("eyes") &&
               tray->image().symbol.pointSize() == 16;
    }));
    QTest::mouseClick(setting->templateToggle(), Qt::LeftButton);
    EXPECT_FALSE(Defaults::get(Defaults::Keys::menuBarItemIcon()).customImageIsTemplate);
    QTest::mouseClick(setting->kindButton(MenuBarItemIcon::Kind::symbol), Qt::LeftButton);
    EXPECT_EQ(Defaults::get(Defaults::Keys::menuBarItemIcon()).symbolName, picked);
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().symbol.name() == picked; }));
    EXPECT_TRUE(setting->customIconHelpText().contains(QStringLiteral("32 pixels in height")));
}

TEST_F(StatusIconSettingsTest, FolderSymbolAndColoursReachItsStatusItem) {
    const Folder folder = storeFolder(QStringLiteral("Projects"));
    MenuBarItems items;
    ASSERT_TRUE(processEventsUntil([&] { return items.folderItem(folder.id) != nullptr; }));
    const auto tray = items.folderItem(folder.id)->coordinator().statusItem();
    auto *fake = static_cast<kestrova::testing::FakeStatusItem *>(tray.get());
    auto *icon = show(MenuBarItemIconSetting::forFolder(folder.id));
    auto *colors = show(ReusableMenuBarItemColorSetting::forFolder(folder.id));

    const QString picked = pickSymbol(*icon, QStringLiteral("star"));
    EXPECT_EQ(stored().customIconName, picked);
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().symbol.name() == picked; }));

    // A palette colour sets both colours and glows alone; the icon takes it.
    QTest::mouseClick(colors->swatch(), Qt::LeftButton);
    ASSERT_TRUE(colors->isPopoverPresented());
    const auto palette = colors->paletteButtons();
    ASSERT_EQ(palette.size(), 10u);
    QTest::mouseClick(palette[1], Qt::LeftButton);
    const platform::Color orange = ReusableMenuBarItemColorSetting::paletteColors()[1];
    EXPECT_EQ(stored().lightColor, orange);
    EXPECT_EQ(stored().darkColor, orange);
    for (std::size_t index = 0; index < palette.size(); ++index)
        EXPECT_EQ(palette[index]->shouldHighlight(), index == 1) << index;
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().ink == orange.toQColor(); }));

    // A dark colour of its own: the palette glows no more, and dark panels show it.
    const QColor green(0, 160, 60);
    colors->darkRow()->chooseColor(green);
    EXPECT_EQ(stored().lightColor, orange);
    EXPECT_EQ(stored().darkColor, platform::Color::fromQColor(green));
    EXPECT_FALSE(palette[1]->shouldHighlight());
    fake->setPanelAppearance(SymbolImage::Appearance::dark);
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().ink.rgba() == green.rgba(); }));

    // Reset in the dark row: the well and the dark panel fall back on the light colour.
    QTest::mouseClick(colors->darkRow()->resetButton(), Qt::LeftButton);
    EXPECT_EQ(stored().darkColor, std::nullopt);
    EXPECT_FALSE(colors->darkRow()->resetButton()->isEnabled());
    EXPECT_EQ(colors->darkRow()->shownColor(), orange.toQColor());
    EXPECT_TRUE(processEventsUntil([&] { return tray->image().ink == orange.toQColor(); }));
    // Reset in the light row: no colour at all, the panel's own ink.
    QTest::mouseClick(colors->lightRow()->resetButton(), Qt::LeftButton);
    EXPECT_EQ(stored().lightColor, std::nullopt);
    EXPECT_TRUE(processEventsUntil(
        [&] { return tray->image().ink == SymbolImage::templateColor(SymbolImage::Appearance::dark); }));
}

TEST_F(StatusIconSettingsTest, UnsetColourShowsTheInkOfTheDesktopsLook) {
    std::optional<platform::Color> color;
    auto *row = show(new MenuBarColorPicker(
        QStringLiteral("For light background:"),
        platform::Binding<std::optional<platform::Color>>(
            [&] { return color; }, [&](const std::optional<platform::Color> &value) { color = value; })));
    EXPECT_EQ(row->shownColor(), SymbolImage::templateColor(SymbolImage::Appearance::light));
    EXPECT_FALSE(row->resetButton()->isEnabled());
    m_appearance->state(SymbolImage::Appearance::dark);
    // Followed after the look settles, not at once.
    EXPECT_EQ(row->shownColor(), SymbolImage::templateColor(SymbolImage::Appearance::light));
    EXPECT_TRUE(processEventsUntil(
        [&] { return row->shownColor() == SymbolImage::templateColor(SymbolImage::Appearance::dark); }));
    // A chosen colour is not changed by the look.
    row->chooseColor(QColor(10, 20, 30, 128));
    EXPECT_TRUE(row->resetButton()->isEnabled());
    m_appearance->state(SymbolImage::Appearance::light);
    EXPECT_EQ(row->shownColor().rgba(), QColor(10, 20, 30, 128).rgba());
}
