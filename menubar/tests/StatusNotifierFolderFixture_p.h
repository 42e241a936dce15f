#pragma once

// Folder status items on a private bus whose panel hosts status-notifier items, read and clicked as the host
// does.
#include "menubar/FolderMenuBarItem.h"
#include "menubar/MenuBarItems.h"

#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/StatusNotifierHost.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova::testing {

using platform::desktop::DBusMenuLayoutItem;

const QString kDBusMenu = QStringLiteral("com.canonical.dbusmenu");
const QString kMenuPath = QStringLiteral("/MenuBar");

// A folder is a directory in a temporary root; the status bar makes status-notifier items on the private bus.
class StatusNotifierFolderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(m_host.start());
        platform::desktop::registerDBusMenuTypes();
        useDisplayPlatform(QStringLiteral("xcb"));
    }
    void useDisplayPlatform(const QString &platformName) {
        platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>(
            platform::desktop::StatusNotifierBus{m_bus.address()},
            platform::desktop::displaySessionOf(platformName, QProcessEnvironment())));
    }
    void writeFile(const QString &relativePath) {
        QFile file(m_root.filePath(relativePath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(relativePath);
    }

    // Calls the exported menu of `service` as a host does; a null message when it gave no answer.
    QDBusMessage callMenu(const QString &service, const QString &method, const QVariantList &arguments) {
        const auto reply = m_host.call(service, kMenuPath, kDBusMenu, method, arguments);
        EXPECT_TRUE(reply) << qPrintable(method);
        return reply.value_or(QDBusMessage());
    }
    DBusMenuLayoutItem layout(const QString &service, int parent = 0) {
        return layoutIn(callMenu(service, QStringLiteral("GetLayout"), {parent, -1, QStringList()}));
    }
    // The rows of a GetLayout reply.
    static DBusMenuLayoutItem layoutIn(const QDBusMessage &reply) {
        return reply.arguments().size() == 2 ? qdbus_cast<DBusMenuLayoutItem>(reply.arguments().at(1))
                                             : DBusMenuLayoutItem{};
    }
    static QStringList labels(const DBusMenuLayoutItem &parent) {
        QStringList labels;
        for (const auto &row : parent.children)
            labels << row.properties.value(QStringLiteral("label")).toString();
        return labels;
    }
    static int idOf(const DBusMenuLayoutItem &parent, const QString &label) {
        for (const auto &row : parent.children) {
            if (row.properties.value(QStringLiteral("label")).toString() == label)
                return row.id;
        }
        return -1;
    }
    void sendEvent(const QString &service, int id, const QString &eventId) {
        callMenu(service, QStringLiteral("Event"), eventArguments(id, eventId));
    }
    // The arguments of an Event call for the row `id`.
    static QVariantList eventArguments(int id, const QString &eventId) {
        return {id, eventId, QVariant::fromValue(QDBusVariant(QString())), uint(0)};
    }
    void TearDown() override {
        platform::StatusBar::setShared(nullptr);
        Defaults::Keys::folders().reset();
    }

    Folder makeFolder(const QString &name) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        folder.menuBarItemStyle = Folder::MenuBarItemStyle::iconAndTitle;
        return folder;
    }
    static platform::desktop::TrayStatusItem &trayItemOf(MenuBarItems &items, const Folder &folder) {
        auto *tray = dynamic_cast<platform::desktop::TrayStatusItem *>(
            items.folderItem(folder.id)->coordinator().statusItem().get());
        EXPECT_NE(tray, nullptr);
        return *tray;
    }
    // The bus name of a folder's item once the host has it.
    QString serviceOf(MenuBarItems &items, const Folder &folder) {
        const auto *notifier = trayItemOf(items, folder).notifierItem();
        const QString service = notifier ? notifier->serviceName() : QString();
        EXPECT_TRUE(processEventsUntil([&] { return m_host.registeredItems().contains(service); }));
        return service;
    }

    QTemporaryDir m_root;
    PrivateSessionBus m_bus;
    StatusNotifierHost m_host{m_bus.address()};
    ScopedRecordingWorkspace m_workspace;
};

} // namespace kestrova::testing
