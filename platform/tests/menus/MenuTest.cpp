#include "platform/menus/Menu.h"

#include "platform/testing/EventLoop.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kestrova::platform;

namespace {

std::shared_ptr<MenuItem> item(const QString &title) {
    return std::make_shared<MenuItem>(title);
}

std::shared_ptr<MenuItem> alternate(const QString &title, Modifiers mask) {
    auto alternateItem = item(title);
    alternateItem->setAlternate(true);
    alternateItem->setKeyEquivalentModifierMask(mask);
    return alternateItem;
}

QStringList titles(const std::vector<std::shared_ptr<MenuItem>> &items) {
    QStringList titles;
    for (const auto &shown : items)
        titles << shown->displayedTitle();
    return titles;
}

void open(Menu &menu) {
    menu.menuNeedsUpdate();
    menu.menuWillOpen();
}

} // namespace

TEST(MenuTest, OpenStateIsSetBeforeObserversAndEachTransitionIsAnnouncedOnce) {
    auto menu = std::make_shared<Menu>();
    QStringList events;
    auto openState = menu->observeOpenState([&](bool isOpen) {
        events << QStringLiteral("open %1 (isOpen %2)").arg(isOpen).arg(menu->isOpen());
    });
    auto updates = menu->observeNeedsUpdate([&] { events << QStringLiteral("update"); });
    open(*menu);
    menu->menuWillOpen(); // no change: not announced again
    menu->menuDidClose();
    EXPECT_EQ(events, (QStringList{"open 0 (isOpen 0)", "update", "open 1 (isOpen 1)", "open 0 (isOpen 0)"}));

    // An observer may drop the menu while it is being told; nobody touches the menu after that.
    auto dropper = menu->observeOpenState([&](bool isOpen) {
        if (isOpen)
            menu.reset();
    });
    auto *raw = menu.get();
    raw->menuWillOpen();
    EXPECT_EQ(menu, nullptr);
    openState.cancel();
}

TEST(MenuTest, ItemsBelongToOneMenuAndSubmenusMayNotFormLoops) {
    auto first = std::make_shared<Menu>(QStringLiteral("first"));
    auto second = std::make_shared<Menu>(QStringLiteral("second"));
    const auto shared = first->addItem(item(QStringLiteral("shared")));
    second->addItem(shared);
    EXPECT_TRUE(first->isEmpty());
    EXPECT_EQ(shared->menu(), second.get());

    // Adding an item twice moves it instead of listing it twice.
    second->addItem(item(QStringLiteral("other")));
    second->addItem(shared);
    EXPECT_EQ(titles(second->items()), (QStringList{"other", "shared"}));

    // A menu cannot become the submenu of one of its own items, nor of a descendant's item.
    const auto holder = first->addItem(item(QStringLiteral("holder")));
    ASSERT_TRUE(holder->setSubmenu(second));
    EXPECT_FALSE(shared->setSubmenu(first));
    EXPECT_FALSE(holder->setSubmenu(first));
    EXPECT_EQ(holder->submenu(), second);

    // A menu is the submenu of one item: giving it to another takes it from the first.
    const auto thief = first->addItem(item(QStringLiteral("thief")));
    ASSERT_TRUE(thief->setSubmenu(second));
    EXPECT_FALSE(holder->hasSubmenu());
    EXPECT_EQ(second->supermenuItem(), thief.get());
    EXPECT_EQ(second->supermenu(), first.get());

    // Items outlive a menu that is dropped: they just no longer belong to it.
    first.reset();
    EXPECT_EQ(holder->menu(), nullptr);
}

TEST(MenuTest, ActionsRunOnlyWhenEnabledAndSurviveEmptyingTheirMenu) {
    auto menu = std::make_shared<Menu>();
    int runs = 0;
    auto emptying = menu->addItem(item(QStringLiteral("empty the menu")));
    auto counter = std::make_shared<int>(0);
    emptying->setAction([menu = menu.get(), counter, &runs] {
        menu->removeAllItems();
        // The closure and what it captured are still alive although the menu let the item go.
        ++*counter;
        ++runs;
    });
    std::weak_ptr<MenuItem> weakItem = emptying;
    emptying.reset();
    EXPECT_TRUE(weakItem.lock()->performAction());
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(menu->isEmpty());
    EXPECT_TRUE(weakItem.expired());

    auto disabled = menu->addItem(item(QStringLiteral("disabled")));
    disabled->setAction([&runs] { ++runs; });
    disabled->setEnabled(false);
    EXPECT_FALSE(disabled->performAction());
    EXPECT_FALSE(menu->addItem(item(QStringLiteral("plain")))->performAction());
    EXPECT_EQ(runs, 1);
}

TEST(MenuTest, AlternatesStandInForTheRowBeforeThemOnlyForTheirExactMask) {
    Menu menu;
    menu.addItem(item(QStringLiteral("Open")));
    menu.addItem(alternate(QStringLiteral("Reveal"), Modifier::option));
    menu.addItem(alternate(QStringLiteral("Copy Path"), Modifier::control));
    auto spacer = menu.addItem(item(QString()));
    spacer->setHostedView(HostedViewFactory::empty());
    menu.addItem(alternate(QStringLiteral("Get Info"), Modifier::option));
    menu.addItem(item(QStringLiteral("Hidden")))->setHidden(true);
    menu.addItem(alternate(QStringLiteral("Never"), {}));

    EXPECT_EQ(titles(menu.displayedItems()), (QStringList{"Open", ""}));
    EXPECT_EQ(titles(menu.displayedItems(Modifier::option)), (QStringList{"Reveal", "Get Info"}));
    EXPECT_EQ(titles(menu.displayedItems(Modifier::control)), (QStringList{"Copy Path", ""}));
    // Control+Option matches neither mask exactly.
    EXPECT_EQ(titles(menu.displayedItems(Modifiers(Modifier::control) | Modifier::option)),
              (QStringList{"Open", ""}));
    // Where no modifier can be watched, every alternate a modifier reveals is a row of its own.
    EXPECT_EQ(titles(menu.displayedItemsWithEveryAlternate()),
              (QStringList{"Open", "Reveal", "Copy Path", "Get Info"}));
    menu.insertItem(MenuItem::separator(), 3);
    menu.addSeparator();
    menu.addItem(item(QStringLiteral("Quit")));
    EXPECT_EQ(titles(menu.displayedItemsWithEveryAlternate()),
              (QStringList{"Open", "Reveal", "Copy Path", "", "Get Info", "", "Quit"}));
    EXPECT_EQ(int(Modifiers(Modifier::control)), 0x40000);
    EXPECT_EQ(int(Modifiers(Modifier::option)), 0x80000);
}

TEST(MenuTest, ShownRowsHaveSeparatorsOnlyBetweenContent) {
    Menu menu;
    menu.addSeparator();
    menu.addItem(item(QStringLiteral("Open")));
    menu.addSeparator();
    menu.addItem(item(QStringLiteral("Hidden")))->setHidden(true);
    menu.addSeparator();
    auto spacer = menu.addItem(item(QString()));
    spacer->setHostedView(HostedViewFactory::empty());
    menu.addItem(alternate(QStringLiteral("Copy Path"), Modifier::option));
    menu.addSeparator();
    menu.addItem(item(QStringLiteral("Quit")));
    menu.addSeparator();
    menu.addSeparator();

    const auto shownSeparators = [&](Modifiers held) {
        int count = 0;
        for (const auto &row : menu.displayedItems(held))
            count += row->isSeparator() ? 1 : 0;
        return count;
    };
    // A hidden row or a placeholder between two separators is no content: one separator is shown.
    const auto shown = menu.displayedItems();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0]->title(), QStringLiteral("Open"));
    EXPECT_TRUE(shown[1]->isSeparator());
    EXPECT_EQ(shown[2], spacer) << "the placeholder keeps its place";
    EXPECT_EQ(shown[3]->title(), QStringLiteral("Quit"));
    // Holding Option shows the alternate, which is content: its section gets its separator.
    EXPECT_EQ(titles(menu.displayedItems(Modifier::option)),
              (QStringList{"Open", "", "Copy Path", "", "Quit"}));
    EXPECT_EQ(shownSeparators(Modifier::option), 2);
    // The model keeps what the builder added.
    EXPECT_EQ(menu.numberOfItems(), 11u);

    Menu onlySeparators;
    onlySeparators.addSeparator();
    onlySeparators.addSeparator();
    EXPECT_TRUE(onlySeparators.displayedItems().empty());
}

int g_deferredMenusMade = 0;
std::shared_ptr<Menu> makeCountedMenu() {
    ++g_deferredMenusMade;
    return std::make_shared<Menu>();
}

TEST(MenuTest, DeferredLazySubmenuIsMadeWhenFirstAskedForAndThenActsAsALazyOne) {
    g_deferredMenusMade = 0;
    Menu root;
    const auto row = root.addItem(item(QStringLiteral("Row")));
    int builds = 0;
    QList<bool> openChanges;
    row->setDeferredLazySubmenu(&makeCountedMenu,
                                {.build =
                                     [&] {
                                         ++builds;
                                         auto built = std::make_shared<Menu>();
                                         built->addItem(item(QStringLiteral("child")));
                                         return built;
                                     },
                                 .clearsOnClose = true,
                                 .onOpenChange = [&](bool isOpen) { openChanges << isOpen; }});
    EXPECT_TRUE(row->hasSubmenu());
    EXPECT_TRUE(row->hasLazySubmenu());
    EXPECT_EQ(g_deferredMenusMade, 0);
    EXPECT_TRUE(openChanges.isEmpty());

    const auto submenu = row->submenu();
    ASSERT_TRUE(submenu);
    EXPECT_EQ(g_deferredMenusMade, 1);
    EXPECT_EQ(submenu->supermenuItem(), row.get());
    EXPECT_EQ(submenu->supermenu(), &root);
    EXPECT_EQ(row->submenu(), submenu);
    EXPECT_EQ(g_deferredMenusMade, 1);
    open(*submenu);
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(titles(submenu->items()), QStringList{QStringLiteral("child")});
    submenu->menuDidClose();
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return submenu->isEmpty(); }));
    open(*submenu);
    EXPECT_EQ(builds, 2);
    EXPECT_EQ(openChanges, (QList<bool>{false, true, false, true}));

    // Replaced before it was made: never made.
    const auto replaced = root.addItem(item(QStringLiteral("Replaced")));
    replaced->setDeferredLazySubmenu(&makeCountedMenu, {});
    const auto plain = std::make_shared<Menu>();
    replaced->setSubmenu(plain);
    EXPECT_EQ(replaced->submenu(), plain);
    EXPECT_FALSE(replaced->hasLazySubmenu());
    replaced->setSubmenu(nullptr);
    EXPECT_FALSE(replaced->hasSubmenu());

    // A disabled row's submenu stays empty, as a lazy one does.
    const auto disabled = root.addItem(item(QStringLiteral("Disabled")));
    disabled->setEnabled(false);
    bool disabledBuilt = false;
    disabled->setDeferredLazySubmenu(&makeCountedMenu, {.build = [&] {
        disabledBuilt = true;
        return std::make_shared<Menu>();
    }});
    open(*disabled->submenu());
    EXPECT_FALSE(disabledBuilt);
    EXPECT_EQ(g_deferredMenusMade, 2);
}

TEST(MenuTest, LazySubmenuIsBuiltOncePerOpeningAndClearedAfterTheChosenActionRan) {
    Menu root;
    const auto keeping = root.addItem(item(QStringLiteral("Keeping")));
    int keepingBuilds = 0;
    QList<bool> openChanges;
    keeping->setLazySubmenu(std::make_shared<Menu>(), {[&] {
                                                           ++keepingBuilds;
                                                           auto built = std::make_shared<Menu>();
                                                           built->addItem(item(QStringLiteral("child")));
                                                           return built;
                                                       },
                                                       false, [&](bool isOpen) { openChanges << isOpen; }});
    // The present state is replayed at set-up.
    EXPECT_EQ(openChanges, QList<bool>{false});
    EXPECT_EQ(keepingBuilds, 0);
    EXPECT_TRUE(root.dump().contains(QStringLiteral("\"Keeping\" > (not built)")));
    open(*keeping->submenu());
    keeping->submenu()->menuDidClose();
    open(*keeping->submenu());
    EXPECT_EQ(keepingBuilds, 1);
    EXPECT_EQ(openChanges, (QList<bool>{false, true, false, true}));

    // An empty build leaves the submenu empty, so the next opening builds again.
    const auto empty = root.addItem(item(QStringLiteral("Empty")));
    int emptyBuilds = 0;
    empty->setLazySubmenu(std::make_shared<Menu>(), {.build = [&] {
                              ++emptyBuilds;
                              return std::shared_ptr<Menu>();
                          }});
    open(*empty->submenu());
    empty->submenu()->menuDidClose();
    open(*empty->submenu());
    EXPECT_EQ(emptyBuilds, 2);

    // A disabled item never builds.
    const auto disabled = root.addItem(item(QStringLiteral("Disabled")));
    disabled->setEnabled(false);
    bool disabledBuilt = false;
    disabled->setLazySubmenu(std::make_shared<Menu>(), {.build = [&] {
                                 disabledBuilt = true;
                                 return std::make_shared<Menu>();
                             }});
    open(*disabled->submenu());
    EXPECT_FALSE(disabledBuilt);

    // Clearing on close waits a turn, so the item chosen in the closing menu can still run.
    const auto clearing = root.addItem(item(QStringLiteral("Clearing")));
    int clearingBuilds = 0;
    bool chosenRan = false;
    clearing->setLazySubmenu(
        std::make_shared<Menu>(),
        {.build =
             [&] {
                 ++clearingBuilds;
                 auto built = std::make_shared<Menu>();
                 built->addItem(item(QStringLiteral("pick")))->setAction([&] { chosenRan = true; });
                 return built;
             },
         .clearsOnClose = true});
    const auto submenu = clearing->submenu();
    open(*submenu);
    const auto chosen = submenu->items().front();
    submenu->menuDidClose();
    EXPECT_FALSE(submenu->isEmpty());
    EXPECT_TRUE(chosen->performAction());
    EXPECT_TRUE(chosenRan);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return submenu->isEmpty(); }));

    // Reopened before the posted clear ran: built afresh at once, and the late clear leaves it alone.
    open(*submenu);
    submenu->menuDidClose();
    open(*submenu);
    EXPECT_EQ(clearingBuilds, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(submenu->numberOfItems(), 1u);
}

TEST(MenuTest, DumpShowsTheTreeWithLiteralTitlesAndFlags) {
    Menu menu;
    auto quit = menu.addItem(item(QStringLiteral("Quit")));
    quit->setKeyEquivalent(QStringLiteral("q"));
    menu.addSeparator();
    menu.addSeparator(); // doubled on purpose; kept
    auto fileItem = menu.addItem(item(QStringLiteral("R&D\tnotes \"v2\"\nfinal.txt")));
    fileItem->setState(MenuItem::State::on);
    auto submenu = std::make_shared<Menu>();
    submenu->addItem(item(QStringLiteral("Child")))->setEnabled(false);
    fileItem->setSubmenu(submenu);
    auto spacer = menu.addItem(item(QString()));
    spacer->setHostedView(HostedViewFactory::empty());
    spacer->setEnabled(false);
    auto more = menu.addItem(alternate(QString(), Modifier::option));
    more->setImage(QImage(4, 4, QImage::Format_ARGB32));
    more->setAccessibilityDescription(QStringLiteral("More"));

    EXPECT_EQ(menu.dump(), QStringLiteral("\"Quit\" [key Command+Q]\n"
                                          "-----\n"
                                          "-----\n"
                                          "\"R&D\\tnotes \\\"v2\\\"\\nfinal.txt\" [on] >\n"
                                          "  \"Child\" [disabled]\n"
                                          "<empty view> [disabled]\n"
                                          "<image: More> [alternate Option]\n"));
    // The model keeps the raw title; escaping is the presenter's job.
    EXPECT_EQ(fileItem->title(), QStringLiteral("R&D\tnotes \"v2\"\nfinal.txt"));
}

namespace {

// Rows "Entry 0" … made on asking; counts what it made.
struct CountingRows : MenuRowSource {
    std::size_t count() const override { return 100000; }
    QString title(std::size_t index) const override { return QStringLiteral("Entry %1").arg(index); }
    std::shared_ptr<MenuItem> makeItem(std::size_t index) const override {
        return ++made, item(title(index));
    }
    std::vector<std::size_t> widestCandidates(std::size_t) const override { return {}; }
    mutable std::size_t made = 0;
};

} // namespace

TEST(MenuTest, RowsOfASourceAreMadeOnlyWhenAskedForAndTakeTheirPlaceAmongTheItems) {
    auto menu = std::make_shared<Menu>();
    menu->addSeparator();
    menu->addItem(item(QStringLiteral("Header")));
    menu->addSeparator();
    const auto source = std::make_shared<CountingRows>();
    menu->addRows(source);
    menu->addSeparator();
    menu->addItem(item(QStringLiteral("Tip")));
    EXPECT_EQ(menu->numberOfItems(), 100005u);

    // Shown as a block between the separators that have content on both sides.
    const Menu::DisplayedRows shown = menu->displayedRows();
    EXPECT_EQ(titles(shown.before), (QStringList{"Header", ""}));
    EXPECT_EQ(shown.sourceRows, 100000u);
    EXPECT_EQ(titles(shown.after), (QStringList{"", "Tip"}));

    // Made on asking, and the same item while something holds it.
    const auto row = menu->sourceItem(70000);
    EXPECT_EQ(menu->sourceItem(70000), row);
    EXPECT_EQ(source->made, 1u);

    // Moved into another menu unmade, as a submenu takes the rows its builder made; made in place, the
    // held one kept, for whoever asks for every item.
    Menu other;
    other.takeContentsOf(*menu);
    EXPECT_TRUE(menu->isEmpty());
    EXPECT_EQ(row->menu(), &other);
    EXPECT_EQ(source->made, 1u);
    const auto &all = other.items();
    ASSERT_EQ(all.size(), 100005u);
    EXPECT_EQ(all[3]->title(), QStringLiteral("Entry 0"));
    EXPECT_EQ(all[3 + 70000], row);
    EXPECT_EQ(all[100004]->title(), QStringLiteral("Tip"));
    EXPECT_EQ(source->made, 100000u);

    // Emptying a menu drops its source unmade; a row still held leaves the menu.
    menu->addRows(source);
    const auto held = menu->sourceItem(3);
    menu->removeAllItems();
    EXPECT_TRUE(menu->isEmpty());
    EXPECT_EQ(held->menu(), nullptr);
    // That row is an item like any other: added to a menu, it is that menu's.
    Menu third;
    third.addItem(held);
    EXPECT_EQ(held->menu(), &third);
    third.removeItem(held);
    EXPECT_EQ(held->menu(), nullptr);

    // Thousands of rows made and held leave together, and the next source's rows are new ones, of the menu.
    menu->addRows(source);
    std::vector<std::shared_ptr<MenuItem>> many;
    for (std::size_t index = 0; index < 5000; ++index)
        many.push_back(menu->sourceItem(index));
    menu->removeAllItems();
    EXPECT_TRUE(std::all_of(many.begin(), many.end(), [](const auto &row) { return !row->menu(); }));
    menu->addRows(source);
    EXPECT_NE(menu->sourceItem(4999), many[4999]);
    EXPECT_EQ(menu->sourceItem(4999)->menu(), menu.get());
    EXPECT_EQ(many[4999]->menu(), nullptr);
}
