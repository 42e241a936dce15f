#include "platform/desktop/menus/MenuPresenter.h"

#include "platform/menus/Menu.h"
#include "platform/testing/EventLoop.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QWidgetAction>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using kestrova::platform::desktop::HostedWidgetFactory;
using kestrova::platform::desktop::MenuPresenter;
using kestrova::testing::processEventsUntil;

namespace {

// Far more row actions than any screen shows, far fewer than the rows.
constexpr qsizetype kMostRowActions = 120;

QString rowTitle(int row) {
    return QStringLiteral("Row %1").arg(row, 5, 10, QLatin1Char('0'));
}

struct LongMenu {
    MenuPresenter presenter;
    std::shared_ptr<Menu> model = std::make_shared<Menu>(QStringLiteral("Many"));
    QPointer<QMenu> shown;
    QStringList ran;
    std::unique_ptr<QSignalSpy> closed;

    LongMenu() {
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
        closed = std::make_unique<QSignalSpy>(&presenter, &MenuPresenter::menuClosed);
    }
    ~LongMenu() {
        if (!presenter.isOpen())
            return;
        const auto count = closed->count();
        presenter.close();
        EXPECT_TRUE(processEventsUntil([&] { return closed->count() > count; }));
    }
    std::shared_ptr<MenuItem> add(const QString &title) {
        auto item = std::make_shared<MenuItem>(title);
        item->setAction([this, title] { ran << title; });
        return model->addItem(item);
    }
    void addRows(int from, int to) {
        for (int row = from; row < to; ++row)
            add(rowTitle(row));
    }
    void open() {
        // Qt takes no hover for a pointer back where it was when the popup opened: start away from it.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
        shown = presenter.popup(model, QPoint(10, 10));
        ASSERT_TRUE(processEventsUntil([this] { return shown && shown->isVisible(); }));
    }
    QAction *actionFor(const QString &title) const {
        for (QAction *action : shown->actions()) {
            const auto item = MenuPresenter::itemForAction(action);
            if (item && item->displayedTitle() == title && action->isVisible())
                return action;
        }
        return nullptr;
    }
    QString activeTitle() const {
        const auto item = MenuPresenter::itemForAction(shown->activeAction());
        return item ? item->displayedTitle() : QString();
    }
    QString titleAt(QPoint point) const {
        const auto item = MenuPresenter::itemForAction(shown->actionAt(point));
        return item ? item->displayedTitle() : QString();
    }
    // The row drawn at the top of the window, whichever row has the first action.
    QString titleAtTop() const {
        const int rowHeight = shown->actionGeometry(shown->actions().front()).height();
        return titleAt(QPoint(shown->width() / 2, 8 + rowHeight / 2));
    }
    // The highlighted row is drawn inside the window.
    bool showsActiveRow() const {
        return shown->activeAction() && shown->rect().contains(shown->actionGeometry(shown->activeAction()));
    }
    void wheel(int notches) {
        const QPointF inside = QPointF(shown->rect().center());
        QWheelEvent event(inside, shown->mapToGlobal(inside), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(shown, &event);
    }
};

QRect availableArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Where the menu was placed: the offscreen platform gives popups a frame they do not have, and moves the
// window inside it.
bool isOnScreen(const QWidget *menu) {
    return availableArea().contains(QRect(menu->windowHandle()->frameGeometry().topLeft(), menu->size()));
}

void checkOneScrollingColumn(std::size_t windowedAbove) {
    LongMenu menu;
    SCOPED_TRACE(windowedAbove);
    menu.presenter.setWindowedAbove(windowedAbove);
    const QRect area = availableArea();
    // Enough rows for several screens, so that a multi-column style would spread them.
    const int rows = 3 * area.height() / QFontMetrics(QApplication::font()).height();
    ASSERT_GT(rows, 20);
    ASSERT_LT(std::size_t(rows), 1000);
    for (int row = 0; row < rows; ++row) {
        auto item = std::make_shared<MenuItem>(QStringLiteral("Entry %1").arg(row, 3, 10, QLatin1Char('0')));
        item->setAction([] {});
        menu.model->addItem(item);
    }
    menu.model->addItem(std::make_shared<MenuItem>(QStringLiteral("Zebra")));
    menu.open();

    EXPECT_LE(menu.shown->height(), area.height());
    EXPECT_TRUE(isOnScreen(menu.shown));
    // One column: every row starts at the same place.
    const auto actions = menu.shown->actions();
    const int left = menu.shown->actionGeometry(actions.front()).left();
    for (QAction *action : actions) {
        if (action->isVisible()) {
            EXPECT_EQ(menu.shown->actionGeometry(action).left(), left) << action->text().toStdString();
        }
    }

    QTest::keyClick(menu.shown, Qt::Key_End);
    EXPECT_EQ(menu.activeTitle(), QStringLiteral("Zebra"));
    EXPECT_TRUE(menu.showsActiveRow());
    QTest::keyClick(menu.shown, Qt::Key_Home);
    EXPECT_EQ(menu.activeTitle(), QStringLiteral("Entry 000"));
    EXPECT_TRUE(menu.showsActiveRow());
    QTest::keyClick(menu.shown, Qt::Key_PageDown);
    const QString afterPage = menu.activeTitle();
    EXPECT_GT(afterPage, QStringLiteral("Entry 005")) << "a page is more than a few rows";
    EXPECT_TRUE(menu.showsActiveRow());
    QTest::keyClick(menu.shown, Qt::Key_PageUp);
    EXPECT_LT(menu.activeTitle(), afterPage);
    EXPECT_TRUE(menu.showsActiveRow());

    // Typing a name goes to the first row it begins, however far down.
    const QString far = QStringLiteral("Entry %1").arg(rows - 3, 3, 10, QLatin1Char('0'));
    QTest::keyClicks(menu.shown, far.toLower());
    EXPECT_EQ(menu.activeTitle(), far);
    EXPECT_TRUE(menu.showsActiveRow());
    EXPECT_TRUE(menu.shown->isVisible()) << "a space inside a typed name chooses nothing";
    QTest::keyClick(menu.shown, Qt::Key_Home);

    // The wheel brings later rows in.
    EXPECT_EQ(menu.titleAtTop(), QStringLiteral("Entry 000"));
    menu.wheel(-3);
    ASSERT_TRUE(processEventsUntil([&] { return menu.titleAtTop() > QStringLiteral("Entry 000"); }));
}

} // namespace

// A menu with an action per row, and one with actions for the rows on screen only.
TEST(LongMenuTest, AMenuTallerThanTheScreenIsOneColumnThatScrollsByKeysWheelAndTyping) {
    checkOneScrollingColumn(1000);
    checkOneScrollingColumn(0);
}

TEST(LongMenuTest, LongNamesMakeOneColumnAsWideAsItsWidestRowAndNoWiderThanTheScreen) {
    const QRect area = availableArea();
    const QFontMetrics metrics(QApplication::font());
    const auto fill = [](LongMenu &menu, int rows, const QString &stem) {
        for (int row = 0; row < rows; ++row)
            menu.model->addItem(std::make_shared<MenuItem>(stem.arg(row)));
    };
    // Names that fit the screen side by side: the menu is exactly as wide as one of them needs.
    LongMenu fitting;
    const QString medium = QStringLiteral("A fairly long file name from a camera, number %1.jpeg");
    fill(fitting, 120, medium);
    fitting.open();
    EXPECT_TRUE(isOnScreen(fitting.shown));
    const int widest = metrics.horizontalAdvance(medium.arg(119));
    EXPECT_GE(fitting.shown->width(), widest);
    EXPECT_LT(fitting.shown->width(), widest + 150) << "one column, not two";

    // Names longer than the screen is wide: the menu stops at the screen's edge.
    LongMenu wide;
    fill(wide, 120, QString(QStringLiteral("Very long name ")).repeated(40) + QStringLiteral("%1"));
    wide.open();
    EXPECT_TRUE(isOnScreen(wide.shown));
    EXPECT_LE(wide.shown->height(), area.height());
}

// Rows that hold submenus, as a folder's rows do: keys that move the highlight leave every submenu closed
// and unbuilt, so the whole typed name and the next key reach the menu the user is in. The keys go where a
// real keyboard's go: to the popup that has the keyboard.
TEST(LongMenuTest, TypingANameAndPagingOverRowsWithSubmenusOpensNone) {
    for (const std::size_t windowedAbove : {std::size_t(1000), std::size_t(0)}) {
        SCOPED_TRACE(windowedAbove);
        LongMenu menu;
        menu.presenter.setWindowedAbove(windowedAbove);
        int built = 0;
        for (int row = 0; row < 400; ++row) {
            auto item = menu.add(rowTitle(row));
            item->setLazySubmenu(std::make_shared<Menu>(), LazySubmenu{[&built] {
                                     ++built;
                                     auto contents = std::make_shared<Menu>();
                                     contents->addItem(std::make_shared<MenuItem>(QStringLiteral("inside")));
                                     return contents;
                                 }});
        }
        menu.open();
        const auto type = [](const QString &keys) {
            for (const QChar key : keys)
                QTest::keyClick(QApplication::activePopupWidget(), key.toLatin1());
        };
        type(QStringLiteral("row 00350"));
        EXPECT_EQ(menu.activeTitle(), rowTitle(350));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_PageUp);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_End);
        EXPECT_EQ(menu.activeTitle(), rowTitle(399));
        EXPECT_EQ(QApplication::activePopupWidget(), menu.shown.data());
        EXPECT_EQ(built, 0);
        // Right still opens the highlighted row's submenu.
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Right);
        EXPECT_TRUE(
            processEventsUntil([&] { return QApplication::activePopupWidget() != menu.shown.data(); }));
        EXPECT_EQ(built, 1);
    }
}

// The highlight spans the window wherever it is scrolled, also where the rows on screen are all short.
TEST(WindowedMenuTest, RowsSpanTheWindowAfterScrollingPastItsWidestRow) {
    LongMenu menu;
    menu.add(QStringLiteral("A title far wider than any of the rows that follow it in this menu"));
    menu.addRows(0, 5000);
    menu.open();
    const int wide = menu.shown->actionGeometry(menu.shown->actions().front()).width();
    QTest::keyClicks(menu.shown, QStringLiteral("row 04000"));
    QAction *far = menu.actionFor(rowTitle(4000));
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(menu.shown->actionGeometry(far).width(), wide);
}

TEST(WindowedMenuTest, AnyOfFiftyThousandRowsCanBeReachedAndChosenWithFewRowActions) {
    LongMenu menu;
    menu.addRows(0, 50000);
    const auto widgetsBefore = QApplication::allWidgets().size();
    menu.open();
    const QRect area = availableArea();
    EXPECT_LE(menu.shown->height(), area.height());
    EXPECT_LE(menu.shown->actions().size(), kMostRowActions);
    EXPECT_GT(menu.shown->actions().size(), 5);
    EXPECT_EQ(menu.titleAt(menu.shown->actionGeometry(menu.shown->actions().front()).center()), rowTitle(0));

    // The wheel moves the window over the rows, with the same row actions.
    const QList<QAction *> actions = menu.shown->actions();
    const QPoint topRow = menu.shown->actionGeometry(actions.front()).center();
    menu.wheel(-2);
    EXPECT_EQ(menu.titleAt(topRow), rowTitle(6));
    EXPECT_EQ(menu.shown->actions(), actions);
    menu.wheel(1);
    EXPECT_EQ(menu.titleAt(topRow), rowTitle(3));

    // Typing a name far down brings its row into the window.
    QTest::keyClicks(menu.shown, QStringLiteral("row 40000"));
    EXPECT_EQ(menu.activeTitle(), rowTitle(40000));
    QAction *far = menu.actionFor(rowTitle(40000));
    ASSERT_NE(far, nullptr);
    EXPECT_TRUE(menu.shown->rect().contains(menu.shown->actionGeometry(far)));
    EXPECT_LE(menu.shown->actions().size(), kMostRowActions);
    EXPECT_LE(QApplication::allWidgets().size() - widgetsBefore, kMostRowActions);

    // Keys move through the window and past its ends.
    QTest::keyClick(menu.shown, Qt::Key_Down);
    EXPECT_EQ(menu.activeTitle(), rowTitle(40001));
    QTest::keyClick(menu.shown, Qt::Key_End);
    EXPECT_EQ(menu.activeTitle(), rowTitle(49999));
    QTest::keyClick(menu.shown, Qt::Key_Down);
    EXPECT_EQ(menu.activeTitle(), rowTitle(0)) << "Down wraps round as in a short menu";
    QTest::keyClick(menu.shown, Qt::Key_PageDown);
    const QString page = menu.activeTitle();
    EXPECT_GT(page, rowTitle(5));
    EXPECT_NE(menu.actionFor(page), nullptr);
    QTest::keyClick(menu.shown, Qt::Key_PageUp);
    EXPECT_EQ(menu.activeTitle(), rowTitle(0));

    // A click on a row brought in by typing chooses that row.
    QTest::keyClicks(menu.shown, QStringLiteral("row 04000"));
    QAction *chosen = menu.actionFor(rowTitle(4000));
    ASSERT_NE(chosen, nullptr);
    QTest::mouseClick(menu.shown, Qt::LeftButton, {}, menu.shown->actionGeometry(chosen).center());
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 1; }));
    EXPECT_EQ(menu.ran, QStringList{rowTitle(4000)});
}

TEST(WindowedMenuTest, RowsInTheWindowBehaveAsTheRowsOfAShortMenu) {
    LongMenu menu;
    auto disabled = menu.add(QStringLiteral("Locked"));
    disabled->setEnabled(false);
    auto checked = menu.add(QStringLiteral("Checked"));
    checked->setState(MenuItem::State::on);
    menu.model->addSeparator();
    int builds = 0;
    auto documents = menu.add(QStringLiteral("Documents"));
    documents->setLazySubmenu(std::make_shared<Menu>(), {.build = [&] {
                                  ++builds;
                                  auto built = std::make_shared<Menu>();
                                  auto inside = std::make_shared<MenuItem>(QStringLiteral("plan.md"));
                                  inside->setAction([&menu] { menu.ran << QStringLiteral("plan.md"); });
                                  built->addItem(inside);
                                  return built;
                              }});
    auto documentsPath = menu.add(QStringLiteral("Copy Path of Documents"));
    documentsPath->setAlternate(true);
    documentsPath->setKeyEquivalentModifierMask(Modifier::option);
    auto hosted = menu.model->addItem(std::make_shared<MenuItem>());
    hosted->setHostedView(HostedWidgetFactory::create(QStringLiteral("thumbnail"),
                                                      [] { return new QLabel(QStringLiteral("THUMB")); }));
    menu.addRows(0, 400);
    menu.open();
    ASSERT_LT(menu.shown->actions().size(), 400) << "a window of the rows";

    EXPECT_FALSE(menu.actionFor(QStringLiteral("Locked"))->isEnabled());
    EXPECT_TRUE(menu.actionFor(QStringLiteral("Checked"))->isChecked());
    EXPECT_TRUE(menu.shown->actions().at(2)->isSeparator());
    EXPECT_EQ(menu.actionFor(QStringLiteral("Copy Path of Documents")), nullptr);
    ASSERT_NE(qobject_cast<QWidgetAction *>(menu.shown->actions().at(4)), nullptr);
    EXPECT_EQ(
        qobject_cast<QLabel *>(qobject_cast<QWidgetAction *>(menu.shown->actions().at(4))->defaultWidget())
            ->text(),
        QStringLiteral("THUMB"));
    // Screen readers hear the rows by their titles.
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(menu.shown);
    ASSERT_NE(accessible, nullptr);
    ASSERT_GT(accessible->childCount(), 1);
    EXPECT_EQ(accessible->child(1)->text(QAccessible::Name), QStringLiteral("Checked"));

    // A row's submenu is built when it opens, by Right as by hover.
    QAction *holder = menu.actionFor(QStringLiteral("Documents"));
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(builds, 0);
    menu.shown->setActiveAction(holder);
    QTest::keyClick(menu.shown, Qt::Key_Right);
    ASSERT_TRUE(processEventsUntil([&] { return holder->menu() && holder->menu()->isVisible(); }));
    EXPECT_EQ(builds, 1);
    QMenu *submenu = holder->menu();
    QTest::keyClick(submenu, Qt::Key_Escape);
    ASSERT_TRUE(processEventsUntil([&] { return !submenu->isVisible(); }));
    EXPECT_TRUE(menu.shown->isVisible()) << "Escape closes one level";

    // Alt shows the alternate in its row's place, highlighted as its row was.
    EXPECT_EQ(menu.shown->activeAction(), holder);
    QTest::keyPress(menu.shown, Qt::Key_Alt);
    EXPECT_TRUE(menu.shown->isVisible());
    EXPECT_EQ(menu.activeTitle(), QStringLiteral("Copy Path of Documents"));
    QTest::keyRelease(menu.shown, Qt::Key_Alt);
    EXPECT_EQ(menu.activeTitle(), QStringLiteral("Documents"));

    // Return on a row with both an action and a submenu chooses it, as in a short menu.
    QTest::keyClick(menu.shown, Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 1; }));
    EXPECT_EQ(menu.ran, QStringList{QStringLiteral("Documents")});

    // Hovering opens the submenu; a click on the row chooses it.
    menu.ran.clear();
    menu.open();
    EXPECT_EQ(menu.shown->windowType(), Qt::Popup);
    holder = menu.actionFor(QStringLiteral("Documents"));
    ASSERT_NE(holder, nullptr);
    const QPoint onHolder = menu.shown->actionGeometry(holder).center();
    QTest::mouseMove(menu.shown, onHolder);
    ASSERT_TRUE(processEventsUntil([&] { return holder->menu() && holder->menu()->isVisible(); }));
    ASSERT_EQ(holder->menu()->actions().size(), 1) << "the rows built at the first opening";
    EXPECT_EQ(builds, 1);
    QTest::mouseClick(menu.shown, Qt::LeftButton, {}, onHolder);
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 2; }));
    EXPECT_EQ(menu.ran, QStringList{QStringLiteral("Documents")});

    // Escape in the root, or a click outside the popup, ends the showing with nothing chosen.
    menu.ran.clear();
    menu.open();
    QTest::keyClick(menu.shown, Qt::Key_Escape);
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 3; }));
    menu.open();
    QTest::mouseClick(menu.shown, Qt::LeftButton, {}, menu.shown->rect().bottomRight() + QPoint(30, 30));
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 4; }));
    EXPECT_TRUE(menu.ran.isEmpty());
}

TEST(WindowedMenuTest, ClosedMenusLeaveNoWidgetsBehind) {
    for (const int rows : {20, 5000}) {
        LongMenu menu;
        menu.addRows(0, rows);
        for (const auto &item : menu.model->items()) {
            auto inside = std::make_shared<Menu>();
            inside->addItem(std::make_shared<MenuItem>(QStringLiteral("Open")));
            item->setSubmenu(inside);
        }
        const auto widgetsBefore = QApplication::allWidgets().size();
        menu.open();
        QAction *holder = menu.shown->actions().at(1);
        menu.shown->setActiveAction(holder);
        QTest::keyClick(menu.shown, Qt::Key_Right);
        ASSERT_TRUE(processEventsUntil([&] { return holder->menu() && holder->menu()->isVisible(); }));
        const QPointer<QMenu> submenu = holder->menu();
        menu.wheel(-5);
        EXPECT_GT(QApplication::allWidgets().size(), widgetsBefore);

        menu.presenter.close();
        ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 1; }));
        EXPECT_TRUE(processEventsUntil([&] { return menu.shown.isNull() && submenu.isNull(); })) << rows;
        EXPECT_TRUE(processEventsUntil([&] { return QApplication::allWidgets().size() == widgetsBefore; }))
            << rows << " rows: " << QApplication::allWidgets().size() - widgetsBefore << " widgets left";
    }
}

TEST(WindowedMenuTest, TheRowPlacesWrittenAreThoseOfTheRowsOnScreen) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("places.txt"));
    qputenv("KESTROVA_MENU_GEOMETRY", QFile::encodeName(path));
    LongMenu menu;
    menu.addRows(0, 3000);
    menu.open();
    const auto readBack = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    ASSERT_TRUE(processEventsUntil([&] { return readBack().endsWith(QStringLiteral("\n\n")); }));
    qunsetenv("KESTROVA_MENU_GEOMETRY");
    QString expected = QStringLiteral("menu \"Many\"\n");
    int row = 0;
    for (QAction *action : menu.shown->actions()) {
        const QRect rect = menu.shown->actionGeometry(action);
        const QPoint global = menu.shown->mapToGlobal(rect.topLeft());
        expected += QStringLiteral("%1 %2 %3 %4 \"%5\"\n")
                        .arg(global.x())
                        .arg(global.y())
                        .arg(rect.width())
                        .arg(rect.height())
                        .arg(rowTitle(row++));
    }
    EXPECT_EQ(readBack(), expected + QLatin1Char('\n'));
}

namespace {

// How many pixel lines of `area` in `drawn` hold anything but its most common colour, the background.
int inkedLines(const QImage &drawn, const QRect &area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[drawn.pixel(x, y)];
    }
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > counts.value(background))
            background = it.key();
    }
    int lines = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (drawn.pixel(x, y) != background) {
                ++lines;
                break;
            }
        }
    }
    return lines;
}

} // namespace

// The popup is sized by laying its widest rows out in its first slots, where a title and its line go next.
TEST(WindowedMenuTest, TheLineUnderATitleIsDrawnWithoutTheTextOfARowMeasuredThere) {
    LongMenu menu;
    menu.add(QStringLiteral("Backups"));
    menu.model->addSeparator();
    for (int row = 0; row < 200; ++row)
        menu.add(QStringLiteral("backup gamma %1.png").arg(row, 6, 10, QLatin1Char('0')));
    menu.add(QStringLiteral("the widest name of them all, backup gamma 000045 (copy).png"));
    menu.open();
    QAction *title = menu.shown->actions().at(0);
    QAction *line = menu.shown->actions().at(1);
    ASSERT_TRUE(line->isSeparator());
    const QImage drawn = menu.shown->grab().toImage();
    // The title's row and the line's, right of the title's text: only the line is drawn there (the text
    // of a row bound to the slot before would stand across it, centred on it).
    const QRect titleRow = menu.shown->actionGeometry(title);
    const int textEnd = titleRow.left() + 40 + menu.shown->fontMetrics().horizontalAdvance(title->text());
    const QRect besideTitle(QPoint(textEnd, titleRow.top() + 2),
                            QPoint(titleRow.right() - 10, menu.shown->actionGeometry(line).bottom()));
    ASSERT_GT(besideTitle.width(), 100);
    EXPECT_LE(inkedLines(drawn, besideTitle), 2) << "one line of one or two pixels";
    const QRect nextRow = menu.shown->actionGeometry(menu.shown->actions().at(2));
    EXPECT_GE(inkedLines(drawn, QRect(titleRow.left(), nextRow.top(), besideTitle.right(), nextRow.height())),
              5)
        << "a row's text counts as ink";
}

// Rows of different heights (a title without a picture, the line under it, rows with pictures, a name of
// two lines at the end): wherever the window is, each row on screen is whole, inside the popup's frame.
TEST(WindowedMenuTest, EveryRowOnScreenIsWholeAfterScrollingEndAndTyping) {
    LongMenu menu;
    menu.add(QStringLiteral("Photos"));
    menu.model->addSeparator();
    QImage picture(16, 16, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::darkCyan);
    for (int row = 0; row < 400; ++row)
        menu.add(rowTitle(row))->setImage(picture);
    const QString twoLines = QStringLiteral("Zebra crossing\nat night");
    menu.add(twoLines)->setImage(picture);
    menu.open();
    const int frame = menu.shown->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu.shown);
    const auto checkWholeRows = [&](const char *when) {
        SCOPED_TRACE(when);
        const QRect inside = menu.shown->rect().adjusted(frame, frame, -frame, -frame);
        int shown = 0;
        for (QAction *action : menu.shown->actions()) {
            if (!action->isVisible())
                continue;
            ++shown;
            const QRect place = menu.shown->actionGeometry(action);
            EXPECT_TRUE(inside.contains(place))
                << action->text().toStdString() << " at " << place.top() << "-" << place.bottom()
                << " in a popup " << menu.shown->height() << " high";
        }
        EXPECT_GT(shown, 10);
    };
    checkWholeRows("opened");
    const int height = menu.shown->height();

    menu.wheel(-4);
    ASSERT_NE(menu.titleAtTop(), QStringLiteral("Photos"));
    checkWholeRows("scrolled");
    QTest::keyClick(menu.shown, Qt::Key_End);
    EXPECT_EQ(menu.activeTitle(), twoLines);
    checkWholeRows("after End");
    QTest::keyClick(menu.shown, Qt::Key_PageUp);
    checkWholeRows("a page up from the end");
    QTest::keyClick(menu.shown, Qt::Key_Home);
    QTest::keyClicks(menu.shown, QStringLiteral("row 00250"));
    EXPECT_EQ(menu.activeTitle(), rowTitle(250));
    checkWholeRows("after typing");
    EXPECT_TRUE(menu.showsActiveRow());
    EXPECT_EQ(menu.shown->height(), height) << "the popup keeps its size";
}

namespace {

// Two hundred thousand rows known by title only, each made when asked. Counts the rows alive.
struct ListedRows : MenuRowSource {
    static constexpr std::size_t kLongest = 123456;
    std::size_t count() const override { return 200000; }
    QString title(std::size_t index) const override {
        return index == kLongest ? QStringLiteral("Row 123456, the one with the longest name of all")
                                 : rowTitle(int(index));
    }
    std::shared_ptr<MenuItem> makeItem(std::size_t index) const override {
        auto row = std::make_shared<MenuItem>(title(index));
        row->setAction([this, title = row->title()] { chosen << title; });
        alive.push_back(row);
        return row;
    }
    std::vector<std::size_t> widestCandidates(std::size_t) const override { return {7, kLongest, 9}; }
    std::size_t aliveCount() const {
        std::erase_if(alive, [](const auto &row) { return row.expired(); });
        return alive.size();
    }
    mutable QStringList chosen;
    mutable std::vector<std::weak_ptr<MenuItem>> alive;
};

} // namespace

TEST(WindowedMenuTest, TwoHundredThousandListedRowsOpenMakingOnlyTheRowsOnScreen) {
    LongMenu menu;
    menu.add(QStringLiteral("Photos"));
    menu.model->addSeparator();
    const auto source = std::make_shared<ListedRows>();
    menu.model->addRows(source);
    menu.open();
    const int width = menu.shown->width();
    const int frame = menu.shown->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu.shown);
    const QRect inside = menu.shown->rect().adjusted(frame, frame, -frame, -frame);
    EXPECT_LE(source->aliveCount(), std::size_t(kMostRowActions));
    EXPECT_GT(width, QFontMetrics(menu.shown->font()).horizontalAdvance(source->title(ListedRows::kLongest)))
        << "as wide as the longest name, which is far down";

    // End shows the last row whole.
    QTest::keyClick(menu.shown, Qt::Key_End);
    EXPECT_EQ(menu.activeTitle(), rowTitle(199999));
    EXPECT_TRUE(inside.contains(menu.shown->actionGeometry(menu.shown->activeAction())));

    // Typing a name far down finds a row never made and brings it in; the rows scrolled past are let go.
    QTest::keyClick(menu.shown, Qt::Key_Home);
    QTest::keyClicks(menu.shown, QStringLiteral("row 150000"));
    EXPECT_EQ(menu.activeTitle(), rowTitle(150000));
    EXPECT_TRUE(inside.contains(menu.shown->actionGeometry(menu.shown->activeAction())));
    EXPECT_LE(source->aliveCount(), std::size_t(kMostRowActions));

    // Return chooses that row.
    QTest::keyClick(menu.shown, Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return menu.closed->count() == 1; }));
    EXPECT_EQ(source->chosen, QStringList{rowTitle(150000)});

    // The same width at the next opening, whatever rows were made before.
    menu.open();
    EXPECT_EQ(menu.shown->width(), width);
    EXPECT_EQ(menu.titleAtTop(), QStringLiteral("Photos"));

    // A tray host reading the whole menu while it is shown has every row made: typing and the keys still
    // reach rows far down.
    ASSERT_EQ(menu.model->items().size(), std::size_t(200002));
    ASSERT_EQ(menu.model->rowSource(), nullptr);
    QTest::keyClicks(menu.shown, QStringLiteral("row 180000"));
    EXPECT_EQ(menu.activeTitle(), rowTitle(180000));
    QTest::keyClick(menu.shown, Qt::Key_End);
    EXPECT_EQ(menu.activeTitle(), rowTitle(199999));
    EXPECT_TRUE(inside.contains(menu.shown->actionGeometry(menu.shown->activeAction())));
}
