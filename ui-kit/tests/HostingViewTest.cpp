#include "ui-kit/views/HostingView.h"
#include "ui-kit/views/QuickLookPreview.h"

#include "platform/menus/Menu.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/testing/EventLoop.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::processEventsUntil;

TEST(HostingViewTest, GrowsToItsContentInAnOpenMenuAndKeepsTheMenuWidth) {
    platform::desktop::MenuPresenter presenter;
    presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    auto menu = std::make_shared<platform::Menu>();
    menu->addItem(std::make_shared<platform::MenuItem>(QStringLiteral("A rather long title for the width")));
    auto row = std::make_shared<platform::MenuItem>();
    QPointer<QLabel> label;
    setHostedView(
        *row, QStringLiteral("text"),
        [&label] {
            label = new QLabel(QStringLiteral("one line"));
            return label.data();
        },
        /*forceAllowsVibrancy=*/true);
    menu->addItem(row);
    EXPECT_EQ(row->hostedView()->description(), QStringLiteral("text"));

    QMenu *shown = presenter.popup(menu, QPoint(50, 50));
    ASSERT_TRUE(processEventsUntil([shown] { return shown->isVisible(); }));
    auto *action = qobject_cast<QWidgetAction *>(shown->actions().at(1));
    ASSERT_NE(action, nullptr);
    auto *view = qobject_cast<HostingView *>(action->defaultWidget());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->forceAllowsVibrancy());
    ASSERT_TRUE(label);
    const QRect before = view->geometry();
    const int menuHeight = shown->height();

    label->setText(QStringLiteral("one line\ntwo lines\nthree lines\nfour lines"));
    ASSERT_TRUE(processEventsUntil([view, before] { return view->height() > before.height(); }));
    EXPECT_EQ(view->height(), view->sizeHint().height());
    EXPECT_EQ(view->width(), before.width());
    EXPECT_GT(shown->height(), menuHeight);

    // Back to one line: the row shrinks again, and a further layout pass leaves it as it is.
    label->setText(QStringLiteral("one line"));
    ASSERT_TRUE(processEventsUntil([view, before] { return view->height() == before.height(); }));
    presenter.close();
}

TEST(HostingViewTest, QuickLookPreviewLetsMouseEventsThroughAndShowsOneThingAtATime) {
    QWidget around;
    auto *preview = new QuickLookPreview(&around);
    preview->resize(100, 50);
    EXPECT_TRUE(preview->testAttribute(Qt::WA_TransparentForMouseEvents));

    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    preview->setText(QStringLiteral("hello"));
    preview->setPicture(picture);
    EXPECT_TRUE(preview->text().isEmpty());
    preview->setText(QStringLiteral("hello"));
    EXPECT_TRUE(preview->picture().isNull());

    // A drag over a preview that sits in no view is dropped without harm.
    QuickLookPreview alone;
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&alone, &move);
    const QImage rendered = around.grab().toImage();
    EXPECT_FALSE(rendered.isNull());
}

} // namespace
} // namespace kestrova
