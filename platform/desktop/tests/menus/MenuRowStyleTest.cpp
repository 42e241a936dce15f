#include "platform/desktop/menus/MenuPresenter.h"

#include "platform/menus/Menu.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace kestrova::platform;
using kestrova::platform::desktop::MenuPresenter;
using kestrova::testing::processEventsUntil;

namespace {

// Rows are checked by what the menu paints: the presenter shows rows through its own style.
struct ShownMenu {
    MenuPresenter presenter;
    QMenu *menu = nullptr;
    QImage image;

    explicit ShownMenu(const std::shared_ptr<Menu> &model) {
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
        menu = presenter.popup(model, QPoint(100, 100));
        EXPECT_TRUE(processEventsUntil([this] { return menu->isVisible(); }));
        menu->setActiveAction(nullptr);
        image = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    ~ShownMenu() {
        QSignalSpy closed(&presenter, &MenuPresenter::menuClosed);
        presenter.close();
        EXPECT_TRUE(processEventsUntil([&] { return closed.count() == 1; }));
    }
    QRect row(int index) const { return menu->actionGeometry(menu->actions().at(index)); }
};

QRgb mostCommonColor(const QImage &image, const QRect &area) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto &a, const auto &b) { return a.second < b.second; })
        ->first;
}

bool isInk(QRgb pixel, QRgb background) {
    return std::abs(qGray(pixel) - qGray(background)) > 40;
}

// The pixel rows of `area` that hold ink, top to bottom (keep the menu's frame out of `area`).
std::vector<int> inkRows(const QImage &image, const QRect &area) {
    const QRgb background = mostCommonColor(image, area);
    std::vector<int> rows;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool ink = false;
        for (int x = area.left(); x <= area.right() && !ink; ++x)
            ink = isInk(image.pixel(x, y), background);
        if (ink)
            rows.push_back(y);
    }
    return rows;
}

// From the top of the first line's ink to the bottom of the last line's.
int inkHeight(const std::vector<int> &rows) {
    return rows.empty() ? 0 : rows.back() - rows.front() + 1;
}

// The most pixel rows without ink between two with ink: an empty line between two of text.
int longestGap(const std::vector<int> &rows) {
    int gap = 0;
    for (std::size_t index = 1; index < rows.size(); ++index)
        gap = std::max(gap, rows[index] - rows[index - 1] - 1);
    return gap;
}

std::shared_ptr<MenuItem> addItem(Menu &menu, const QString &title) {
    return menu.addItem(std::make_shared<MenuItem>(title));
}

} // namespace

TEST(MenuRowStyleTest, TitlesWithLineFeedsShowOneLineUnderTheOther) {
    const QString widest = QStringLiteral("- You can drag a file from the menu to another app");
    const QString tips = QStringLiteral("Tips:\n- Press the Alt key to reveal more actions\n") + widest;
    auto model = std::make_shared<Menu>();
    addItem(*model, QStringLiteral("Open"));
    // A tip row has a submenu ("Dismiss"), the row QMenu has no multi-line form for at all.
    auto tip = addItem(*model, tips);
    auto dismiss = std::make_shared<Menu>();
    addItem(*dismiss, QStringLiteral("Dismiss"));
    tip->setSubmenu(dismiss);
    QFont font = QApplication::font();
    font.setBold(true);
    AttributedText bold(QStringLiteral("Could not read folder.\n\nAsk its owner & try again."));
    bold.setFont(font);
    auto explanation = addItem(*model, QString());
    explanation->setEnabled(false);
    explanation->setAttributedTitle(bold);

    ShownMenu shown(model);
    const QFontMetrics metrics(shown.menu->font());
    const QRect single = shown.row(0);
    const QRect tipRow = shown.row(1);
    EXPECT_GE(tipRow.height(), single.height() + 2 * metrics.lineSpacing());
    EXPECT_GE(tipRow.width(), metrics.horizontalAdvance(widest));
    QString oneLine = tips;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    EXPECT_LT(shown.menu->width(), metrics.horizontalAdvance(oneLine)) << "as wide as the widest line";
    // Left of the submenu arrow, the row shows three lines of text, one under the other.
    const auto tipInk = inkRows(shown.image, tipRow.adjusted(4, 0, -tipRow.width() / 4, 0));
    EXPECT_GT(inkHeight(tipInk), 2 * metrics.lineSpacing());
    EXPECT_LT(inkHeight(tipInk), 3 * metrics.lineSpacing() + 2);

    // An attributed title: its own font for the lines, an empty line kept as space.
    const QFontMetrics boldMetrics(font);
    const QRect explanationRow = shown.row(2);
    EXPECT_GE(explanationRow.height(), single.height() + 2 * boldMetrics.lineSpacing());
    const auto explanationInk = inkRows(shown.image, explanationRow.adjusted(4, 0, -4, 0));
    EXPECT_GT(inkHeight(explanationInk), 2 * boldMetrics.lineSpacing());
    EXPECT_GE(longestGap(explanationInk), boldMetrics.lineSpacing() / 2) << "the empty line between the two";
    EXPECT_LT(explanationRow.width(), boldMetrics.horizontalAdvance(bold.text()) + single.width());
}

TEST(MenuRowStyleTest, CheckedRowsWithImagesShowACheckMarkBesideTheImage) {
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(QColor(255, 0, 0));
    auto model = std::make_shared<Menu>();
    auto shownFolder = addItem(*model, QStringLiteral("Music"));
    shownFolder->setImage(icon);
    shownFolder->setState(MenuItem::State::on);
    auto hiddenFolder = addItem(*model, QStringLiteral("Music"));
    hiddenFolder->setImage(icon);

    ShownMenu shown(model);
    const QRect on = shown.row(0);
    const QRect off = shown.row(1);
    ASSERT_EQ(on.size(), off.size());
    // Where the image is in the row (the same in both rows).
    QRect image;
    for (int y = on.top(); y <= on.bottom(); ++y) {
        for (int x = on.left(); x <= on.right(); ++x) {
            if (shown.image.pixel(x, y) == qRgb(255, 0, 0))
                image |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(image.isEmpty());
    // The styles frame a checked image in a panel of the image's column, from top to bottom of the row:
    // the state has to show outside that column.
    const int columnLeft = image.left() - on.left() - 4;
    const int columnRight = image.right() - on.left() + 4;
    // Away from the row's edges too: the menu's frame runs along the top of the first row.
    int differing = 0;
    for (int y = 2; y < on.height() - 2; ++y) {
        for (int x = 4; x < on.width() - 4; ++x) {
            if (x >= columnLeft && x <= columnRight)
                continue;
            const QRgb checked = shown.image.pixel(on.left() + x, on.top() + y);
            const QRgb unchecked = shown.image.pixel(off.left() + x, off.top() + y);
            differing += std::abs(qGray(checked) - qGray(unchecked)) > 60 ? 1 : 0;
        }
    }
    EXPECT_GE(differing, 8) << "a check mark beside the image";
    EXPECT_EQ(shown.image.pixel(image.center() + QPoint(0, off.top() - on.top())), qRgb(255, 0, 0))
        << "the image of the unchecked row is where the checked row's is";
}
