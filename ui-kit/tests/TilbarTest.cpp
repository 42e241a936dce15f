#include "ui-kit/utilities/Tilbar.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <gtest/gtest.h>

#include <limits>

namespace kestrova {
namespace {

using testing::processEventsUntil;

// Collects the launcher-entry updates a dock would hear.
class LauncherEntryListener : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> updates;
    QString lastUri;

public Q_SLOTS:
    void update(const QString &uri, const QVariantMap &properties) {
        lastUri = uri;
        updates.push_back(properties);
    }
};

class TilbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        QPixmap icon(128, 128);
        icon.fill(QColor(40, 90, 200));
        QGuiApplication::setWindowIcon(QIcon(icon));
    }
    void TearDown() override {
        Tilbar::setProgressInstance(nullptr);
        Tilbar::setStyle(Tilbar::Bar{});
        QGuiApplication::setWindowIcon(QIcon());
    }
};

TEST_F(TilbarTest, BadgeTextsFitFourCharacters) {
    const std::vector<std::pair<qint64, QString>> cases{
        {0, QStringLiteral("0")},         {-5, QStringLiteral("-5")},
        {999, QStringLiteral("999")},     {1000, QStringLiteral("1k")},
        {3500, QStringLiteral("3k")},     {9999, QStringLiteral("9k")},
        {-1200, QStringLiteral("-1k")},   {10000, QStringLiteral("9k+")},
        {-20000, QStringLiteral("-9k+")}, {std::numeric_limits<qint64>::min(), QStringLiteral("-9k+")}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(Tilbar::badgeText(value), text) << value;
}

TEST_F(TilbarTest, SmallStepsWaitButFinishingAlwaysShowsThePlainIcon) {
    Tilbar::setProgress(0.5);
    const int drawn = Tilbar::redrawCount();
    const QImage half = Tilbar::dockImage();
    ASSERT_FALSE(half.isNull());
    // The bar: white up to the middle, dark after it, 25 pixels above the bottom.
    EXPECT_EQ(half.pixelColor(32, 128 - 25).lightness(), 255);
    EXPECT_LT(half.pixelColor(96, 128 - 25).lightness(), 60);
    // Above the bar the icon is untouched.
    EXPECT_EQ(half.pixelColor(64, 20), QColor(40, 90, 200));

    Tilbar::setProgress(0.505);
    EXPECT_EQ(Tilbar::redrawCount(), drawn);
    Tilbar::setProgress(0.52);
    EXPECT_EQ(Tilbar::redrawCount(), drawn + 1);
    Tilbar::setProgress(0.995);
    // 0.005 short of done is a small step, yet done is drawn: the plain icon.
    Tilbar::setProgress(1);
    EXPECT_EQ(Tilbar::redrawCount(), drawn + 3);
    EXPECT_EQ(Tilbar::dockImage().pixelColor(32, 128 - 25), QColor(40, 90, 200));

    // The style changes nothing until the next redraw, which draws the ring instead of the bar.
    Tilbar::setStyle(Tilbar::Circle{40, Qt::red});
    EXPECT_EQ(Tilbar::redrawCount(), drawn + 3);
    Tilbar::setProgress(0.25);
    const QImage ring = Tilbar::dockImage();
    // A quarter turn clockwise from twelve o'clock: the top and the right of the ring, not its left.
    EXPECT_EQ(ring.pixelColor(64 + 28, 64 - 28).red(), 255);
    EXPECT_EQ(ring.pixelColor(64 - 28, 64 + 28), QColor(40, 90, 200));
    EXPECT_EQ(ring.pixelColor(32, 128 - 25), QColor(40, 90, 200));
}

TEST_F(TilbarTest, AFollowedProgressMovesTheIndicatorUntilCancelledOrFinished) {
    Progress work(10);
    Tilbar::setProgressInstance(&work);
    work.setCompletedUnitCount(4);
    ASSERT_TRUE(processEventsUntil([] { return Tilbar::progress() == 0.4; }));
    work.cancel();
    work.setCompletedUnitCount(6);
    int turns = 0;
    processEventsUntil([&] { return ++turns > 5; });
    EXPECT_EQ(Tilbar::progress(), 0.4);

    Progress next(2);
    Tilbar::setProgressInstance(&next);
    next.setCompletedUnitCount(2);
    ASSERT_TRUE(processEventsUntil([] { return Tilbar::progress() == 1; }));
    Tilbar::setProgressInstance(nullptr);
    EXPECT_EQ(Tilbar::progress(), 0);
}

TEST_F(TilbarTest, DocksHearProgressAndCountOnTheSessionBus) {
    kestrova::testing::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    auto application = QDBusConnection::connectToBus(bus.address(), QStringLiteral("tilbar-application"));
    auto dock = QDBusConnection::connectToBus(bus.address(), QStringLiteral("tilbar-dock"));
    LauncherEntryListener listener;
    ASSERT_TRUE(dock.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                             QStringLiteral("Update"), &listener, SLOT(update(QString, QVariantMap))));
    Tilbar::setLauncherEntryConnection(application);
    Tilbar::setStyle(Tilbar::Badge{Qt::green, [] { return qint64(12); }});
    Tilbar::setProgress(0.3);
    ASSERT_TRUE(processEventsUntil([&] { return !listener.updates.empty(); }));
    EXPECT_EQ(listener.lastUri, QStringLiteral("application://org.kestrova.Kestrova.desktop"));
    const QVariantMap &first = listener.updates.back();
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("progress")).toDouble(), 0.3);
    EXPECT_TRUE(first.value(QStringLiteral("progress-visible")).toBool());
    EXPECT_EQ(first.value(QStringLiteral("count")).toLongLong(), 12);
    EXPECT_TRUE(first.value(QStringLiteral("count-visible")).toBool());

    Tilbar::setProgress(1);
    ASSERT_TRUE(processEventsUntil([&] { return listener.updates.size() >= 2; }));
    EXPECT_FALSE(listener.updates.back().value(QStringLiteral("progress-visible")).toBool());
    Tilbar::setLauncherEntryConnection(QDBusConnection::sessionBus());
}

} // namespace
} // namespace kestrova

#include "TilbarTest.moc"
