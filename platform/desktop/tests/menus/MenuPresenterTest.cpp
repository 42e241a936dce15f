#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/menus/MenuPresenter_p.h"

#include "platform/menus/Menu.h"
#include "platform/menus/MenuTracking.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidgetAction>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using kestrova::platform::desktop::HostedWidgetFactory;
using kestrova::platform::desktop::MenuPresenter;
using kestrova::testing::processEventsUntil;

namespace {

std::shared_ptr<MenuItem> addItem(Menu &menu, const QString &title, std::function<void()> action = {}) {
    auto item = std::make_shared<MenuItem>(title);
    if (action)
        item->setAction(std::move(action));
    return menu.addItem(item);
}

// The presenter under the test's control: no keys held at opening, whatever the machine says.
struct PresenterFixture {
    MenuPresenter presenter;
    PresenterFixture() {
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    QMenu *open(const std::shared_ptr<Menu> &menu) {
        // Qt takes no hover for a pointer back where it was when the popup opened: start away from it.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
        QMenu *shown = presenter.popup(menu, QPoint(100, 100));
        EXPECT_TRUE(processEventsUntil([shown] { return shown->isVisible(); }));
        return shown;
    }
};

QMenu *openSubmenu(QMenu *menu, QAction *holder) {
    menu->setActiveAction(holder);
    QTest::keyClick(menu, Qt::Key_Right);
    EXPECT_TRUE(processEventsUntil([holder] { return holder->menu() && holder->menu()->isVisible(); }));
    return holder->menu();
}

} // namespace

TEST(MenuPresenterTest, RowsFollowTheModelAndChoosingRunsTheActionAfterTheClose) {
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>();
    std::vector<QString> events;
    const auto needsUpdate = menu->observeNeedsUpdate([&] { events.push_back(QStringLiteral("update")); });
    const auto openState = menu->observeOpenState(
        [&](bool isOpen) { events.push_back(isOpen ? QStringLiteral("open") : QStringLiteral("close")); });
    events.clear();

    auto rd =
        addItem(*menu, QStringLiteral("R&D\tnotes.txt"), [&] { events.push_back(QStringLiteral("R&D")); });
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    rd->setImage(image);
    auto disabled =
        addItem(*menu, QStringLiteral("Disabled"), [&] { events.push_back(QStringLiteral("wrong")); });
    disabled->setEnabled(false);
    menu->addSeparator();
    menu->addSeparator();
    auto checked = addItem(*menu, QStringLiteral("Checked"));
    checked->setState(MenuItem::State::on);
    addItem(*menu, QStringLiteral("Hidden"))->setHidden(true);
    auto quit = addItem(*menu, QStringLiteral("Quit"));
    quit->setKeyEquivalent(QStringLiteral("q"));

    QPointer<QMenu> shown = fixture.open(menu);
    ASSERT_TRUE(shown);
    EXPECT_EQ(events, (std::vector<QString>{QStringLiteral("update"), QStringLiteral("open")}));
    EXPECT_TRUE(menu->isOpen());
    EXPECT_TRUE(fixture.presenter.isOpen());

    const auto actions = shown->actions();
    ASSERT_EQ(actions.size(), qsizetype(menu->numberOfItems()));
    for (qsizetype index = 0; index < actions.size(); ++index)
        EXPECT_EQ(MenuPresenter::itemForAction(actions[index]), menu->items()[std::size_t(index)]) << index;
    // "&" stays literal and the tab opens no shortcut column.
    EXPECT_EQ(actions[0]->text(), QStringLiteral("R&&D notes.txt"));
    EXPECT_FALSE(actions[0]->icon().isNull());
    EXPECT_FALSE(actions[1]->isEnabled());
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_TRUE(actions[2]->isVisible());
    EXPECT_FALSE(actions[3]->isVisible()) << "a doubled separator is not shown";
    EXPECT_TRUE(actions[4]->isChecked());
    EXPECT_FALSE(actions[5]->isVisible());
    EXPECT_EQ(actions[6]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    QTest::mouseClick(shown, Qt::LeftButton, {}, shown->actionGeometry(actions[0]).center());
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(events, (std::vector<QString>{QStringLiteral("update"), QStringLiteral("open"),
                                            QStringLiteral("close"), QStringLiteral("R&D")}));
    EXPECT_FALSE(menu->isOpen());
    EXPECT_TRUE(processEventsUntil([&] { return shown.isNull(); })) << "the closed menu is freed";

    // Closing without a choice runs nothing; the model is told once.
    events.clear();
    shown = fixture.open(menu);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
    EXPECT_EQ(events, (std::vector<QString>{QStringLiteral("update"), QStringLiteral("open"),
                                            QStringLiteral("close")}));
}

TEST(MenuPresenterTest, LazySubmenusAreBuiltWhenTheyOpenAndToldWhenTheyClose) {
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>();
    int outerBuilds = 0;
    int innerBuilds = 0;
    bool innerChosen = false;
    auto holder = addItem(*menu, QStringLiteral("Documents"));
    auto submenu = std::make_shared<Menu>();
    holder->setLazySubmenu(submenu, {.build =
                                         [&] {
                                             ++outerBuilds;
                                             auto built = std::make_shared<Menu>();
                                             addItem(*built, QStringLiteral("a.txt"));
                                             auto nested = addItem(*built, QStringLiteral("Projects"));
                                             nested->setLazySubmenu(std::make_shared<Menu>(), {.build = [&] {
                                                                        ++innerBuilds;
                                                                        auto inner = std::make_shared<Menu>();
                                                                        addItem(*inner,
                                                                                QStringLiteral("plan.md"),
                                                                                [&] { innerChosen = true; });
                                                                        return inner;
                                                                    }});
                                             return built;
                                         },
                                     .clearsOnClose = true});
    auto disabledHolder = addItem(*menu, QStringLiteral("Locked"));
    disabledHolder->setEnabled(false);
    int lockedBuilds = 0;
    disabledHolder->setLazySubmenu(std::make_shared<Menu>(), {.build = [&] {
                                       ++lockedBuilds;
                                       return std::make_shared<Menu>();
                                   }});

    QMenu *shown = fixture.open(menu);
    EXPECT_EQ(outerBuilds, 0);
    QAction *holderAction = shown->actions().at(0);
    ASSERT_NE(holderAction->menu(), nullptr);
    EXPECT_TRUE(holderAction->menu()->actions().isEmpty());

    QMenu *documents = openSubmenu(shown, holderAction);
    EXPECT_EQ(outerBuilds, 1);
    EXPECT_TRUE(submenu->isOpen());
    ASSERT_EQ(documents->actions().size(), 2);
    EXPECT_EQ(documents->actions().at(0)->text(), QStringLiteral("a.txt"));
    EXPECT_EQ(innerBuilds, 0);

    QMenu *projects = openSubmenu(documents, documents->actions().at(1));
    EXPECT_EQ(innerBuilds, 1);
    ASSERT_EQ(projects->actions().size(), 1);

    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    QTest::mouseClick(projects, Qt::LeftButton, {},
                      projects->actionGeometry(projects->actions().at(0)).center());
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_TRUE(innerChosen);
    EXPECT_FALSE(submenu->isOpen());
    EXPECT_TRUE(processEventsUntil([&] { return submenu->isEmpty(); })) << "cleared after closing";

    // Reopening builds afresh; the disabled holder never builds.
    shown = fixture.open(menu);
    openSubmenu(shown, shown->actions().at(0));
    EXPECT_EQ(outerBuilds, 2);
    EXPECT_EQ(lockedBuilds, 0);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
}

TEST(MenuPresenterTest, AlternatesSwapWhileTheirModifierIsHeldInEveryOpenMenu) {
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>();
    auto spacer = menu->addItem(std::make_shared<MenuItem>());
    spacer->setHostedView(HostedViewFactory::empty());
    auto copyPathRoot = addItem(*menu, QStringLiteral("Copy Folder Path (a much longer title)"));
    copyPathRoot->setAlternate(true);
    copyPathRoot->setKeyEquivalentModifierMask(Modifier::control);
    auto copy = addItem(*menu, QStringLiteral("Copy"));
    auto copyPath = addItem(*menu, QStringLiteral("Copy Path"));
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    auto holder = addItem(*menu, QStringLiteral("More"));
    auto more = std::make_shared<Menu>();
    addItem(*more, QStringLiteral("About"));
    holder->setSubmenu(more);

    QMenu *shown = fixture.open(menu);
    const auto actions = shown->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_FALSE(actions[0]->isVisible()) << "the spacer takes no room";
    EXPECT_FALSE(actions[1]->isVisible());
    EXPECT_TRUE(actions[2]->isVisible());
    EXPECT_FALSE(actions[3]->isVisible());
    const int width = shown->width();

    shown->setActiveAction(actions[2]);
    QTest::keyPress(shown, Qt::Key_Alt);
    EXPECT_TRUE(shown->isVisible()) << "Alt must not close the menu";
    EXPECT_FALSE(actions[2]->isVisible());
    EXPECT_TRUE(actions[3]->isVisible());
    EXPECT_EQ(shown->activeAction(), actions[3]) << "the highlight moves to the alternate";
    EXPECT_EQ(fixture.presenter.heldModifiers(), Modifiers(Modifier::option));
    QTest::keyRelease(shown, Qt::Key_Alt);
    EXPECT_TRUE(actions[2]->isVisible());
    EXPECT_FALSE(actions[3]->isVisible());
    EXPECT_EQ(shown->activeAction(), actions[2]);

    // Keys pressed in the open submenu reach the menu behind it.
    QMenu *submenu = openSubmenu(shown, actions[4]);
    QTest::keyPress(submenu, Qt::Key_Control);
    EXPECT_TRUE(actions[1]->isVisible());
    EXPECT_TRUE(processEventsUntil([&] { return true; }));
    EXPECT_EQ(shown->width(), width) << "the widest state was reserved";
    QTest::keyRelease(submenu, Qt::Key_Control);
    EXPECT_FALSE(actions[1]->isVisible());
    fixture.presenter.close();
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));

    // A menu opened while a modifier is held shows that modifier's alternates from the start.
    fixture.presenter.setModifierSource([] { return Qt::KeyboardModifiers(Qt::AltModifier); });
    shown = fixture.open(menu);
    EXPECT_FALSE(shown->actions()[2]->isVisible());
    EXPECT_TRUE(shown->actions()[3]->isVisible());
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
}

TEST(MenuPresenterTest, HostedViewsStyledTitlesAndIconSizes) {
    PresenterFixture fixture;
    fixture.presenter.setIconSize(24);
    auto menu = std::make_shared<Menu>();
    int widgetsMade = 0;
    auto hosted = addItem(*menu, QString());
    hosted->setHostedView(HostedWidgetFactory::create(QStringLiteral("thumbnail"), [&] {
        ++widgetsMade;
        return new QLabel(QStringLiteral("THUMB"));
    }));
    auto explanation = addItem(*menu, QString());
    explanation->setEnabled(false);
    AttributedText wrapped(QStringLiteral("The folder could not be read.\nCheck its permissions."));
    wrapped.setColor(TextColor::secondaryLabel());
    explanation->setAttributedTitle(wrapped);
    auto header = addItem(*menu, QString());
    AttributedText bold(QStringLiteral("Downloads & more"));
    QFont font = QApplication::font();
    font.setBold(true);
    bold.setFont(font);
    bold.setColor(TextColor::custom(QColor(Qt::red)));
    header->setAttributedTitle(bold);

    QMenu *shown = fixture.open(menu);
    EXPECT_EQ(shown->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, shown), 24);
    const auto actions = shown->actions();
    ASSERT_EQ(actions.size(), 3);
    auto *hostedAction = qobject_cast<QWidgetAction *>(actions[0]);
    ASSERT_NE(hostedAction, nullptr);
    auto *thumb = qobject_cast<QLabel *>(hostedAction->defaultWidget());
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->text(), QStringLiteral("THUMB"));
    EXPECT_EQ(widgetsMade, 1);

    // Wrapped text is a row like any other (its lines are the row style's to draw).
    EXPECT_EQ(qobject_cast<QWidgetAction *>(actions[1]), nullptr);
    EXPECT_EQ(actions[1]->text(), wrapped.text());
    EXPECT_FALSE(actions[1]->isEnabled());
    EXPECT_LT(MenuPresenter::textColorForAction(actions[1], shown->palette()).alphaF(), 1.0);

    EXPECT_EQ(actions[2]->text(), QStringLiteral("Downloads && more"));
    EXPECT_TRUE(actions[2]->font().bold());
    EXPECT_EQ(MenuPresenter::textColorForAction(actions[2], shown->palette()), QColor(Qt::red));
    EXPECT_FALSE(MenuPresenter::textColorForAction(actions[0], shown->palette()).isValid());

    // Every opening shows fresh widgets for the rows the model has then.
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    fixture.open(menu);
    EXPECT_EQ(widgetsMade, 2);
}

TEST(MenuPresenterTest, MenusOpenWhenThePresenterGoesAreToldTheyClosed) {
    auto menu = std::make_shared<Menu>();
    bool ran = false;
    addItem(*menu, QStringLiteral("Open"), [&] { ran = true; });
    auto holder = addItem(*menu, QStringLiteral("Albums"));
    auto albums = std::make_shared<Menu>();
    addItem(*albums, QStringLiteral("first.ogg"));
    holder->setSubmenu(albums);
    {
        PresenterFixture fixture;
        QMenu *shown = fixture.open(menu);
        openSubmenu(shown, shown->actions().at(1));
        ASSERT_TRUE(albums->isOpen());
    }
    EXPECT_TRUE(processEventsUntil([&] { return !menu->isOpen() && !albums->isOpen(); }));
    EXPECT_FALSE(ran);
}

TEST(MenuPresenterTest, DroppedModelsAndOutsidePresses) {
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>();
    bool ran = false;
    auto item = addItem(*menu, QStringLiteral("Open"), [&] { ran = true; });
    QPointer<QMenu> shown = fixture.open(menu);
    // The presenter does not keep the model: dropping it while open leaves rows that do nothing.
    const QPointer<QAction> action = shown->actions().at(0);
    menu.reset();
    item.reset();
    EXPECT_EQ(MenuPresenter::itemForAction(action), nullptr);

    QPoint pressedAt;
    fixture.presenter.setOutsidePressHandler([&](const QPoint &global) {
        pressedAt = global;
        return true;
    });
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    const QPoint outside = shown->rect().bottomRight() + QPoint(40, 40);
    QTest::mouseClick(shown, Qt::LeftButton, {}, outside);
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(pressedAt, shown ? shown->mapToGlobal(outside) : pressedAt);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(fixture.presenter.isOpen());
}

TEST(MenuPresenterTest, TrackingLastsFromTheShowingUntilTheCloseAndEndsBeforeTheAction) {
    PresenterFixture fixture;
    std::vector<bool> announced;
    const Subscription watching =
        MenuTracking::observe([&](bool tracking) { announced.push_back(tracking); });
    auto menu = std::make_shared<Menu>();
    std::optional<bool> trackingDuringAction;
    addItem(*menu, QStringLiteral("Open"), [&] { trackingDuringAction = MenuTracking::isTracking(); });
    auto submenu = std::make_shared<Menu>();
    addItem(*submenu, QStringLiteral("Inner"));
    addItem(*menu, QStringLiteral("More"))->setSubmenu(submenu);

    QMenu *shown = fixture.open(menu);
    EXPECT_TRUE(MenuTracking::isTracking());
    // A submenu is part of the same tracking.
    openSubmenu(shown, shown->actions().at(1));
    EXPECT_EQ(announced, std::vector<bool>{true});
    QTest::keyClick(shown->actions().at(1)->menu(), Qt::Key_Left);
    shown->setActiveAction(shown->actions().at(0));
    QTest::keyClick(shown, Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return trackingDuringAction.has_value(); }));
    EXPECT_FALSE(*trackingDuringAction);
    EXPECT_EQ(announced, (std::vector<bool>{true, false}));

    // A showing the presenter forgets while open ends its tracking too.
    {
        PresenterFixture other;
        other.open(menu);
        EXPECT_TRUE(MenuTracking::isTracking());
    }
    EXPECT_TRUE(processEventsUntil([] { return !MenuTracking::isTracking(); }));
}

TEST(MenuPresenterTest, ShownMenusAreDumpedOnlyWhenTheVariableNamesAFile) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("menus.txt"));
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>(QStringLiteral("Music"));
    addItem(*menu, QStringLiteral("song.ogg"));
    auto holder = addItem(*menu, QStringLiteral("Albums"));
    holder->setLazySubmenu(std::make_shared<Menu>(QStringLiteral("Albums")), {.build = [] {
                               auto built = std::make_shared<Menu>(QStringLiteral("Albums"));
                               addItem(*built, QStringLiteral("first.ogg"));
                               return built;
                           }});

    qunsetenv("KESTROVA_MENU_DUMP");
    fixture.open(menu);
    fixture.presenter.close();
    EXPECT_FALSE(QFile::exists(path));

    qputenv("KESTROVA_MENU_DUMP", QFile::encodeName(path));
    QMenu *shown = fixture.open(menu);
    openSubmenu(shown, shown->actions().at(1));
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    fixture.presenter.close();
    qunsetenv("KESTROVA_MENU_DUMP");
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() >= 1; }));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    // Each opening in turn, the submenu already built when it is written.
    EXPECT_EQ(text, QStringLiteral("menu \"Music\"\n\"song.ogg\"\n\"Albums\" > (not built)\n\n"
                                   "menu \"Albums\"\n\"first.ogg\"\n\n"));
}

TEST(MenuPresenterTest, RowPlacesOfShownMenusAreWrittenOnlyWhenTheVariableNamesAFile) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("places.txt"));
    PresenterFixture fixture;
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    auto menu = std::make_shared<Menu>(QStringLiteral("Music"));
    addItem(*menu, QStringLiteral("song \"live\".ogg"));
    menu->addSeparator();
    addItem(*menu, QStringLiteral("Hidden"))->setHidden(true);
    addItem(*menu, QStringLiteral("Locked"))->setEnabled(false);
    auto holder = addItem(*menu, QStringLiteral("Albums"));
    auto albums = std::make_shared<Menu>(QStringLiteral("Albums"));
    addItem(*albums, QStringLiteral("first.ogg"));
    holder->setSubmenu(albums);

    qunsetenv("KESTROVA_MENU_GEOMETRY");
    fixture.open(menu);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_FALSE(QFile::exists(path));

    qputenv("KESTROVA_MENU_GEOMETRY", QFile::encodeName(path));
    const auto readBack = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const auto place = [](QMenu *shown, int index) {
        QAction *action = shown->actions().at(index);
        const QRect rect = shown->actionGeometry(action);
        const QPoint global = shown->mapToGlobal(rect.topLeft());
        return QStringLiteral("%1 %2 %3 %4 ")
            .arg(global.x())
            .arg(global.y())
            .arg(rect.width())
            .arg(rect.height());
    };
    QMenu *shown = fixture.open(menu);
    // Written once the window is exposed, which is not the moment it becomes visible.
    ASSERT_TRUE(processEventsUntil([&] { return readBack().endsWith(QStringLiteral("\n\n")); }));
    const QString root = QStringLiteral("menu \"Music\"\n") + place(shown, 0) +
                         QStringLiteral("\"song \\\"live\\\".ogg\"\n") + place(shown, 3) +
                         QStringLiteral("\"Locked\" disabled\n") + place(shown, 4) +
                         QStringLiteral("\"Albums\"\n\n");
    EXPECT_EQ(readBack(), root);

    QMenu *submenu = openSubmenu(shown, shown->actions().at(4));
    ASSERT_TRUE(processEventsUntil([&] { return readBack().size() > root.size(); }));
    ASSERT_TRUE(processEventsUntil([&] { return readBack().endsWith(QStringLiteral("\n\n")); }));
    EXPECT_EQ(readBack(), root + QStringLiteral("menu \"Albums\"\n") + place(submenu, 0) +
                              QStringLiteral("\"first.ogg\"\n\n"));
    fixture.presenter.close();
    qunsetenv("KESTROVA_MENU_GEOMETRY");
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
}

namespace {

// A folder row as the folder menus build it: clicking opens the entry, its submenu holds the entry's own
// rows, one of them a subfolder that is itself a row with an action and a submenu.
struct FolderRows {
    std::shared_ptr<Menu> menu = std::make_shared<Menu>(QStringLiteral("Home"));
    QStringList opened;
    std::shared_ptr<MenuItem> documents;
    std::shared_ptr<MenuItem> plainHolder;

    FolderRows() {
        documents =
            addItem(*menu, QStringLiteral("Documents"), [this] { opened << QStringLiteral("Documents"); });
        documents->setLazySubmenu(
            std::make_shared<Menu>(QStringLiteral("Documents")), {.build = [this] {
                auto built = std::make_shared<Menu>();
                addItem(*built, QStringLiteral("a.txt"), [this] { opened << QStringLiteral("a.txt"); });
                auto projects = addItem(*built, QStringLiteral("Projects"),
                                        [this] { opened << QStringLiteral("Projects"); });
                auto inside = std::make_shared<Menu>();
                addItem(*inside, QStringLiteral("plan.md"), [this] { opened << QStringLiteral("plan.md"); });
                projects->setSubmenu(inside);
                return built;
            }});
        plainHolder = addItem(*menu, QStringLiteral("Open With"));
        auto applications = std::make_shared<Menu>();
        addItem(*applications, QStringLiteral("Editor"), [this] { opened << QStringLiteral("Editor"); });
        plainHolder->setSubmenu(applications);
    }
};

void highlightWithKeys(QMenu *menu, QAction *row) {
    for (int step = 0; step < menu->actions().size() && menu->activeAction() != row; ++step)
        QTest::keyClick(menu, Qt::Key_Down);
    ASSERT_EQ(menu->activeAction(), row);
}

} // namespace

TEST(MenuPresenterTest, ClickOrReturnOnARowWithAnActionAndASubmenuChoosesIt) {
    PresenterFixture fixture;
    FolderRows rows;
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);

    // A click anywhere in the chain closes all of it, then the row's action runs once.
    QPointer<QMenu> shown = fixture.open(rows.menu);
    QPointer<QMenu> documents = openSubmenu(shown, shown->actions().at(0));
    ASSERT_TRUE(documents);
    QAction *projects = documents->actions().at(1);
    QTest::mouseClick(documents, Qt::LeftButton, {}, documents->actionGeometry(projects).center());
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_EQ(rows.opened, QStringList{QStringLiteral("Projects")});
    EXPECT_TRUE(!shown || !shown->isVisible());
    EXPECT_TRUE(!documents || !documents->isVisible());

    // The same on the top level; the submenu a press may have begun to open goes with the chain.
    shown = fixture.open(rows.menu);
    QAction *row = shown->actions().at(0);
    QTest::mouseClick(shown, Qt::LeftButton, {}, shown->actionGeometry(row).center());
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
    EXPECT_EQ(rows.opened, (QStringList{QStringLiteral("Projects"), QStringLiteral("Documents")}));
    EXPECT_FALSE(fixture.presenter.isOpen());

    // Return on the highlighted row.
    rows.opened.clear();
    shown = fixture.open(rows.menu);
    highlightWithKeys(shown, shown->actions().at(0));
    QTest::keyClick(shown, Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 3; }));
    EXPECT_EQ(rows.opened, QStringList{QStringLiteral("Documents")});

    // Enter in a submenu chooses the submenu's own highlighted row, not the row holding it.
    rows.opened.clear();
    shown = fixture.open(rows.menu);
    documents = openSubmenu(shown, shown->actions().at(0));
    highlightWithKeys(documents, documents->actions().at(0));
    QTest::keyClick(documents, Qt::Key_Enter);
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 4; }));
    EXPECT_EQ(rows.opened, QStringList{QStringLiteral("a.txt")});
}

TEST(MenuPresenterTest, HoverAndTheRightKeyOnlyOpenTheSubmenuOfARowWithAnAction) {
    PresenterFixture fixture;
    FolderRows rows;
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);

    QMenu *shown = fixture.open(rows.menu);
    QAction *row = shown->actions().at(0);
    highlightWithKeys(shown, row);
    QTest::keyClick(shown, Qt::Key_Right);
    ASSERT_TRUE(processEventsUntil([&] { return row->menu()->isVisible(); }));
    EXPECT_TRUE(shown->isVisible());
    EXPECT_TRUE(rows.opened.isEmpty());
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    EXPECT_TRUE(rows.opened.isEmpty());

    shown = fixture.open(rows.menu);
    row = shown->actions().at(0);
    QTest::mouseMove(shown, shown->actionGeometry(row).center());
    ASSERT_TRUE(processEventsUntil([&] { return row->menu() && row->menu()->isVisible(); }));
    EXPECT_TRUE(shown->isVisible());
    EXPECT_TRUE(rows.opened.isEmpty());
    // Opened by hovering, the submenu has the keyboard with nothing highlighted: Return is for the row
    // the pointer rests on.
    QTest::keyClick(row->menu(), Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
    EXPECT_EQ(rows.opened, QStringList{QStringLiteral("Documents")});
}

TEST(MenuPresenterTest, ClickOnARowWithASubmenuAndNoActionKeepsTheMenuOpen) {
    PresenterFixture fixture;
    FolderRows rows;
    QMenu *shown = fixture.open(rows.menu);
    QAction *holder = shown->actions().at(1);
    // The pointer comes to the row before it clicks, as a hand's does.
    const QPoint onHolder = shown->actionGeometry(holder).center();
    QTest::mouseMove(shown, onHolder);
    QTest::mouseClick(shown, Qt::LeftButton, {}, onHolder);
    ASSERT_TRUE(processEventsUntil([&] { return holder->menu()->isVisible(); }));
    EXPECT_TRUE(shown->isVisible());
    QTest::keyClick(holder->menu(), Qt::Key_Return);
    EXPECT_TRUE(shown->isVisible()) << "nothing is highlighted in the submenu and the holder has no action";
    EXPECT_TRUE(rows.opened.isEmpty());

    // A disabled row with an action and a submenu is not chosen either.
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    rows.documents->setEnabled(false);
    shown = fixture.open(rows.menu);
    QTest::mouseClick(shown, Qt::LeftButton, {}, shown->actionGeometry(shown->actions().at(0)).center());
    EXPECT_TRUE(shown->isVisible());
    EXPECT_TRUE(rows.opened.isEmpty());
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 2; }));
}

TEST(MenuPresenterTest, SeparatorsShowOnlyBetweenVisibleRowsAndFollowTheHeldModifiers) {
    PresenterFixture fixture;
    auto menu = std::make_shared<Menu>();
    menu->addSeparator();
    addItem(*menu, QStringLiteral("Open"));
    menu->addSeparator();
    auto spacer = menu->addItem(std::make_shared<MenuItem>());
    spacer->setHostedView(HostedViewFactory::empty());
    auto copyPath = addItem(*menu, QStringLiteral("Copy Path"));
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    menu->addSeparator();
    addItem(*menu, QStringLiteral("Quit"));
    menu->addSeparator();

    QMenu *shown = fixture.open(menu);
    const auto actions = shown->actions();
    ASSERT_EQ(actions.size(), 8);
    const auto visibleSeparators = [&] {
        QList<int> visible;
        for (int index = 0; index < actions.size(); ++index) {
            if (actions[index]->isSeparator() && actions[index]->isVisible())
                visible << index;
        }
        return visible;
    };
    EXPECT_EQ(visibleSeparators(), QList<int>{2});
    const int height = shown->sizeHint().height();

    QTest::keyPress(shown, Qt::Key_Alt);
    EXPECT_TRUE(actions[4]->isVisible());
    EXPECT_EQ(visibleSeparators(), (QList<int>{2, 5}));
    EXPECT_GT(shown->sizeHint().height(), height);
    QTest::keyRelease(shown, Qt::Key_Alt);
    EXPECT_EQ(visibleSeparators(), QList<int>{2});

    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
}

TEST(MenuPresenterTest, KeepingTrackOfSubmenusCostsAConstantPerSubmenuMade) {
    PresenterFixture fixture;
    QSignalSpy closed(&fixture.presenter, &MenuPresenter::menuClosed);
    constexpr int kHolders = 3;
    constexpr int kRowsEach = 40;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    auto menu = std::make_shared<Menu>();
    for (int holderIndex = 0; holderIndex < kHolders; ++holderIndex) {
        auto holder = addItem(*menu, QStringLiteral("Folder %1").arg(holderIndex));
        auto submenu = std::make_shared<Menu>();
        for (int row = 0; row < kRowsEach; ++row) {
            auto entry = addItem(*submenu, QStringLiteral("Entry %1").arg(row));
            entry->setImage(image);
            entry->setLazySubmenu(std::make_shared<Menu>(),
                                  {.build = [] { return std::make_shared<Menu>(); }});
        }
        holder->setSubmenu(submenu);
    }

    const std::size_t before = kestrova::platform::desktop::PresentedMenuBookkeeping::steps;
    QMenu *shown = fixture.open(menu);
    // Every opening of a holder makes a fresh submenu for each of its rows and lets the earlier ones go.
    constexpr int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        for (QAction *holder : shown->actions()) {
            QMenu *submenu = openSubmenu(shown, holder);
            ASSERT_NE(submenu, nullptr);
            // Rows of one image share one icon rather than a pixmap each.
            const auto entries = submenu->actions();
            ASSERT_EQ(entries.size(), kRowsEach);
            EXPECT_FALSE(entries.front()->icon().isNull());
            EXPECT_EQ(entries.front()->icon().cacheKey(), entries.back()->icon().cacheKey());
            submenu->hide();
            ASSERT_TRUE(processEventsUntil([&] { return !submenu->isVisible(); }));
        }
    }
    const std::size_t made = kHolders + kRounds * kHolders * kRowsEach;
    EXPECT_LE(kestrova::platform::desktop::PresentedMenuBookkeeping::steps - before, 4 * made);
    fixture.presenter.close();
    ASSERT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
}
