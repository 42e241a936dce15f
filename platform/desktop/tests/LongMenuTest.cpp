#include "platform/desktop/MenuPresenter.h"

#include "platform/desktop/tests/MenuTestEvents_p.h"

#include "platform/Menu.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using kestrova::platform::desktop::MenuPresenter;
using kestrova::testing::processEventsUntil;

namespace {

struct LongMenu {
    MenuPresenter presenter;
    std::shared_ptr<Menu> model = std::make_shared<Menu>(QStringLiteral("Long"));
    QMenu *shown = nullptr;

    LongMenu() {
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    ~LongMenu() {
        if (!presenter.isOpen())
            return;
        QSignalSpy closed(&presenter, &MenuPresenter::menuClosed);
        presenter.close();
        EXPECT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    }
    void open() {
        shown = presenter.popup(model, QPoint(10, 10));
        ASSERT_TRUE(processEventsUntil([this] { return shown->isVisible(); }));
    }
    QString activeTitle() const {
        const auto item = MenuPresenter::itemForAction(shown->activeAction());
        return item ? item->title() : QString();
    }
    // The row is drawn inside the menu's window.
    bool showsActiveRow() const {
        return shown->activeAction() && shown->rect().contains(shown->actionGeometry(shown->activeAction()));
    }
    // The row at the top of the window.
    QString titleAtTop() const {
        const QRect first = shown->actionGeometry(shown->actions().front());
        const auto item =
            MenuPresenter::itemForAction(shown->actionAt(QPoint(shown->width() / 2, 8 + first.height() / 2)));
        return item ? item->title() : QString();
    }
    void wheel(int notches) { kestrova::platform::desktop::testing::turnWheel(shown, notches); }
};

QRect availableArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Where the menu was placed: the offscreen platform gives popups a frame they do not have, and moves the
// window inside it.
bool isOnScreen(const QWidget *menu) {
    return availableArea().contains(QRect(menu->windowHandle()->frameGeometry().topLeft(), menu->size()));
}

} // namespace

namespace {

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
