#pragma once

#include "foundation/app/KvApp.h"
#include "foundation/json/JsonText.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrova::testing {

// Stored folders on real folders, the relaunch replaced by a recorder, and every window closed afterwards.
class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedRelaunch = KvApp::relaunchOperations();
        KvApp::setRelaunchOperations({
            .startProcess =
                [this](const QString &program, const QStringList &) {
                    started << program;
                    return true;
                },
            .openApplication = [](const QUrl &) { return false; },
            .terminate = [this] { ++terminations; },
            .exitNow = [](int) {},
        });
        Defaults::Keys::showFoldersInMenu().reset();
        platform::UserDefaults::standard()->removeObject(QStringLiteral("Kv_isShowingSettingsAfterRelaunch"));
    }
    void TearDown() override {
        for (QWidget *window : QApplication::topLevelWidgets())
            window->close();
        processEventsUntil([] { return true; });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Defaults::Keys::folders().reset();
        Defaults::Keys::showFoldersInMenu().reset();
        KvApp::setRelaunchOperations(m_savedRelaunch);
    }

    Folder addFolder(const QString &name) {
        EXPECT_TRUE(QDir(m_root.path()).mkpath(name));
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        auto folders = Defaults::get(Defaults::Keys::folders());
        folders.push_back(folder);
        Defaults::set(Defaults::Keys::folders(), folders);
        return folder;
    }

    // The stored JSON text of every folder, in stored order.
    static std::vector<Json> storedFolderJson() {
        std::vector<Json> result;
        const auto stored = platform::UserDefaults::standard()->object(QStringLiteral("folders"));
        const auto *array = stored ? stored->getIf<platform::PropertyListValue::Array>() : nullptr;
        if (!array)
            return result;
        for (const auto &entry : *array)
            if (const auto *text = entry.getIf<QString>())
                result.push_back(JsonText::decode(text->toUtf8()).value_or(Json()));
        return result;
    }

    static QWidget *visibleWindowNamed(const QString &name) {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->objectName() == name)
                return window;
        return nullptr;
    }

    QStringList started;
    int terminations = 0;

private:
    QTemporaryDir m_root;
    KvApp::RelaunchOperations m_savedRelaunch;
};

} // namespace kestrova::testing
