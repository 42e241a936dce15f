// The symbol picker as a person uses it: a shown window, the button clicked, keys typed into the popup.
#include "screens/symbols/RecentlyUsedSymbols.h"
#include "screens/symbols/SymbolCatalog.h"
#include "screens/symbols/SymbolGridView.h"
#include "screens/symbols/SymbolPicker.h"
#include "screens/symbols/SymbolPickerScreen.h"
#include "screens/symbols/SymbolSearch.h"

#include "foundation/app/KvApp.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemoryPasteboard.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

class SymbolPickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        recentlyUsedSymbolsKey().reset();
        auto *layout = new QVBoxLayout(&m_window);
        m_picker = new SymbolPicker(m_binding, QStringLiteral("Choose Symbol…"));
        layout->addWidget(m_picker);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }
    void TearDown() override {
        if (m_picker->pickerScreen())
            m_picker->pickerScreen()->close();
        recentlyUsedSymbolsKey().reset();
    }

    // Clicks the button and waits for the popup, with the keyboard in its search field.
    SymbolPickerScreen &open() {
        QTest::mouseClick(m_picker->button(), Qt::LeftButton);
        SymbolPickerScreen *screen = m_picker->pickerScreen();
        EXPECT_NE(screen, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(screen));
        return *screen;
    }
    // Keys as the window system delivers them, to the popup's focus.
    void type(SymbolPickerScreen &screen, const QString &text) {
        for (const QChar character : text)
            QTest::keyClick(screen.windowHandle(), character.toLatin1());
    }
    void press(SymbolPickerScreen &screen, Qt::Key key) { QTest::keyClick(screen.windowHandle(), key); }
    bool closes() {
        return processEventsUntil([&] { return !m_picker->isPickerPresented(); });
    }

    std::optional<QString> m_chosen;
    platform::Binding<std::optional<QString>> m_binding{
        [this] { return m_chosen; }, [this](const std::optional<QString> &name) { m_chosen = name; }};
    QWidget m_window;
    SymbolPicker *m_picker = nullptr;
};

QStringList sectionTitles(const SymbolGridView &grid) {
    QStringList titles;
    for (const auto &section : grid.sections())
        titles << section.title;
    return titles;
}

} // namespace

TEST_F(SymbolPickerTest, TypingArrowsAndReturnPickASymbolAndClosePopup) {
    EXPECT_EQ(m_picker->button()->text(), QStringLiteral("Choose Symbol…"));
    EXPECT_TRUE(m_picker->button()->toolTip().isEmpty());
    EXPECT_FALSE(m_picker->resetButton()->isVisible());

    SymbolPickerScreen &screen = open();
    EXPECT_EQ(screen.size(), QSize(410, 330));
    EXPECT_TRUE(screen.searchField()->hasFocus());
    // Nothing picked yet: the whole catalogue, no recents.
    EXPECT_EQ(sectionTitles(*screen.grid()), QStringList{QStringLiteral("All")});
    EXPECT_EQ(screen.grid()->sections()[0].names, allSymbolNames());

    type(screen, QStringLiteral("house"));
    const QStringList results = SymbolSearch::catalogue().searchResults(QStringLiteral("house"));
    ASSERT_GE(results.size(), 2);
    EXPECT_EQ(screen.grid()->sections()[0].names, results);
    EXPECT_FALSE(screen.grid()->sections()[0].showsHeader);
    // The best match is current; Right moves on, Left comes back, Right again.
    EXPECT_EQ(screen.grid()->nameAt(screen.grid()->currentCell()), results[0]);
    press(screen, Qt::Key_Right);
    press(screen, Qt::Key_Right);
    press(screen, Qt::Key_Left);
    EXPECT_EQ(screen.grid()->cellIdentifier(screen.grid()->currentCell()),
              QStringLiteral("All") + results[1]);
    press(screen, Qt::Key_Return);

    ASSERT_TRUE(closes());
    EXPECT_EQ(m_chosen, results[1]);
    EXPECT_EQ(Defaults::get(recentlyUsedSymbolsKey()), std::vector<QString>{results[1]});
    EXPECT_TRUE(m_picker->button()->text().isEmpty());
    EXPECT_EQ(m_picker->button()->toolTip(), QStringLiteral("Symbol name: ") + results[1]);
    EXPECT_TRUE(m_picker->resetButton()->isVisible());

    // Reset clears the choice and leaves the recents alone.
    QTest::mouseClick(m_picker->resetButton(), Qt::LeftButton);
    EXPECT_EQ(m_chosen, std::nullopt);
    EXPECT_EQ(m_picker->button()->text(), QStringLiteral("Choose Symbol…"));
    EXPECT_FALSE(m_picker->resetButton()->isVisible());
    EXPECT_EQ(Defaults::get(recentlyUsedSymbolsKey()).size(), 1u);
}

TEST_F(SymbolPickerTest, OpensOnTheChoiceAndEscapeClearsBeforeItCloses) {
    m_chosen = QStringLiteral("folder.fill");
    m_picker->refresh();
    Defaults::set(recentlyUsedSymbolsKey(), std::vector<QString>{QStringLiteral("folder.fill")});
    SymbolPickerScreen &screen = open();
    SymbolGridView &grid = *screen.grid();
    ASSERT_EQ(sectionTitles(grid), (QStringList{QStringLiteral("Recently Used"), QStringLiteral("All")}));
    // The choice is current in All, scrolled into the middle; its twin in Recently Used is not drawn chosen.
    EXPECT_EQ(grid.cellIdentifier(grid.currentCell()), QStringLiteral("Allfolder.fill"));
    const QRect shown = grid.visualCellRect(grid.currentCell());
    EXPECT_TRUE(grid.viewport()->rect().contains(shown));
    EXPECT_NEAR(shown.center().y(), grid.viewport()->height() / 2, SymbolGridView::kCellSize);
    EXPECT_FALSE(grid.sections()[0].showsSelection);
    // Down walks the rows of All.
    press(screen, Qt::Key_Down);
    EXPECT_GT(grid.currentCell().index, allSymbolNames().indexOf(QStringLiteral("folder.fill")));

    // With the keyboard in the grid, typing still searches.
    press(screen, Qt::Key_Tab);
    ASSERT_TRUE(grid.hasFocus());
    type(screen, QStringLiteral("x"));
    EXPECT_EQ(screen.searchQuery(), QStringLiteral("x"));
    EXPECT_TRUE(screen.searchField()->hasFocus());
    press(screen, Qt::Key_Escape);
    // Blank queries show the sections; a real one, results.
    type(screen, QStringLiteral("  "));
    EXPECT_EQ(grid.sections().size(), 2u);
    type(screen, QStringLiteral("star"));
    EXPECT_EQ(grid.sections().size(), 1u);
    press(screen, Qt::Key_Escape);
    EXPECT_TRUE(screen.searchQuery().isEmpty());
    EXPECT_TRUE(m_picker->isPickerPresented());
    press(screen, Qt::Key_Escape);
    ASSERT_TRUE(closes());
    EXPECT_EQ(m_chosen, QStringLiteral("folder.fill"));
    EXPECT_EQ(Defaults::get(recentlyUsedSymbolsKey()), std::vector<QString>{QStringLiteral("folder.fill")});

    // Every opening starts afresh.
    SymbolPickerScreen &again = open();
    EXPECT_TRUE(again.searchQuery().isEmpty());
}

TEST_F(SymbolPickerTest, RecentsKeepEightMostRecentFirstAndClearAtOnce) {
    const auto names = [](std::initializer_list<const char *> list) {
        std::vector<QString> result;
        for (const char *name : list)
            result.push_back(QString::fromLatin1(name));
        return result;
    };
    // A pick already third moves to the front; the length stays.
    EXPECT_EQ(recentsAfterPicking(names({"a", "b", "c", "d"}), QStringLiteral("c")),
              names({"c", "a", "b", "d"}));
    // A ninth distinct pick drops the oldest.
    EXPECT_EQ(recentsAfterPicking(names({"1", "2", "3", "4", "5", "6", "7", "8"}), QStringLiteral("9")),
              names({"9", "1", "2", "3", "4", "5", "6", "7"}));
    // Stored lists that broke the rules (edited by hand) come back within them.
    EXPECT_EQ(
        recentsAfterPicking(names({"x", "x", "1", "2", "3", "4", "5", "6", "7", "8"}), QStringLiteral("x")),
        names({"x", "1", "2", "3", "4", "5", "6", "7"}));

    for (const QString &name : {QStringLiteral("star"), QStringLiteral("heart"), QStringLiteral("star")}) {
        SymbolPickerScreen &screen = open();
        screen.select(name);
        ASSERT_TRUE(closes());
    }
    EXPECT_EQ(Defaults::get(recentlyUsedSymbolsKey()), names({"star", "heart"}));

    SymbolPickerScreen &screen = open();
    EXPECT_EQ(screen.grid()->sections()[0].names,
              (QStringList{QStringLiteral("star"), QStringLiteral("heart")}));
    EXPECT_EQ(screen.grid()->cellIdentifier({0, 1}), QStringLiteral("Recently Usedheart"));
    // Every cell copies its name; only a recent one clears the recents.
    const auto titles = [](QMenu &menu) {
        QStringList result;
        for (QAction *action : menu.actions()) {
            if (!action->isSeparator())
                result << action->text();
        }
        return result;
    };
    const auto allMenu = screen.contextMenu(1, 3);
    ASSERT_NE(allMenu, nullptr);
    EXPECT_EQ(titles(*allMenu), QStringList{QStringLiteral("Copy Name")});
    kestrova::testing::ScopedInMemoryPasteboard pasteboard;
    allMenu->actions().front()->trigger();
    const auto copied = platform::Pasteboard::general().pasteboardItems();
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].string(QString::fromLatin1(platform::PasteboardType::string)), allSymbolNames()[3]);
    EXPECT_EQ(copied[0].string(QString::fromLatin1(platform::PasteboardType::source)), KvApp::id());
    const auto recentMenu = screen.contextMenu(0, 1);
    ASSERT_NE(recentMenu, nullptr);
    ASSERT_EQ(titles(*recentMenu),
              (QStringList{QStringLiteral("Copy Name"), QStringLiteral("Clear Recently Used")}));
    recentMenu->actions().back()->trigger();
    EXPECT_TRUE(processEventsUntil([&] { return screen.grid()->sections().size() == 1; }));
    EXPECT_EQ(sectionTitles(*screen.grid()), QStringList{QStringLiteral("All")});
}

TEST_F(SymbolPickerTest, PaintsOnlyTheRowsInView) {
    SymbolPickerScreen &screen = open();
    SymbolGridView &grid = *screen.grid();
    grid.viewport()->repaint();
    const int painted = grid.lastPaintedCellCount();
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 100);
    // Far down the list the same few cells are drawn.
    grid.scrollToCell({0, int(allSymbolNames().size()) - 1}, /*centre=*/false);
    grid.viewport()->repaint();
    EXPECT_LT(grid.lastPaintedCellCount(), 100);
    EXPECT_EQ(grid.cellAt(grid.visualCellRect({0, int(allSymbolNames().size()) - 1}).center()),
              (SymbolGridView::Cell{0, int(allSymbolNames().size()) - 1}));
}
