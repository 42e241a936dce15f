#include "menubar/MenuBarItems.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

using namespace kestrova;
using kestrova::testing::processEventsUntil;
using kestrova::testing::ScopedFakeStatusBar;

namespace {

// Every timer event and queued call delivered on the main thread, except those of the timer that ends the
// idle stretch; names what received them, so a failure says who woke up.
class WakeUpCounter : public QObject {
public:
    explicit WakeUpCounter(const QObject *ignored)
        : m_ignored(ignored) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~WakeUpCounter() override { QCoreApplication::instance()->removeEventFilter(this); }

    QStringList wakeUps;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != m_ignored && (event->type() == QEvent::Timer || event->type() == QEvent::MetaCall)) {
            wakeUps << QStringLiteral("%1 to %2 \"%3\"")
                           .arg(event->type() == QEvent::Timer ? QStringLiteral("timer")
                                                               : QStringLiteral("queued call"),
                                QString::fromLatin1(watched->metaObject()->className()),
                                watched->objectName());
        }
        return false;
    }

private:
    const QObject *m_ignored;
};

// Runs everything already queued, so the stretch that follows starts idle.
void settle() {
    for (int round = 0;
         round < 100 && QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents); ++round) {
    }
}

// Blocks in the event loop for a stretch and returns what woke the thread meanwhile ("" for nothing).
std::string wakeUpsWhileIdle() {
    settle();
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setInterval(1500);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    WakeUpCounter counter(&end);
    end.start();
    loop.exec();
    return counter.wakeUps.join(QStringLiteral(", ")).toStdString();
}

} // namespace

TEST(IdleTimersTest, StatusItemsWakeNothingWhileIdleBeforeOrAfterAMenu) {
    ScopedFakeStatusBar bar;
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    std::vector<Folder> folders;
    for (const QString &name :
         {QStringLiteral("Music"), QStringLiteral("Projects"), QStringLiteral("Inbox")}) {
        QDir(root.path()).mkpath(name + QStringLiteral("/Subfolder"));
        QFile(root.filePath(name + QStringLiteral("/notes.txt"))).open(QIODevice::WriteOnly);
        folders.emplace_back(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(
                                                      QUrl::fromLocalFile(root.filePath(name)))));
    }
    Defaults::set(Defaults::Keys::folders(), folders);

    {
        MenuBarItems items;
        ASSERT_TRUE(processEventsUntil([&] { return items.folderItemIds().size() == 3u; }));
        EXPECT_EQ(wakeUpsWhileIdle(), "") << "after start";

        // A folder menu opened and closed, then a setting change that swaps the items.
        const auto statusItem = bar.item(1);
        ASSERT_TRUE(statusItem);
        statusItem->click();
        ASSERT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
        statusItem->closeMenu();
        EXPECT_EQ(wakeUpsWhileIdle(), "") << "after a folder menu";

        Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
        ASSERT_TRUE(processEventsUntil([&] { return items.mainItem() != nullptr; }));
        EXPECT_EQ(wakeUpsWhileIdle(), "") << "after switching to the main item";
    }
    Defaults::Keys::folders().reset();
    Defaults::Keys::showFoldersInMenu().reset();
}
