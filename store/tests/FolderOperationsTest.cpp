#include "store/DefaultsKeys.h"
#include "store/Folder.h"

#include "foundation/files/FileUrl.h"
#include "foundation/testing/ReportedErrors.h"
#include "store/BookmarkData.h"
#include "store/testing/FakeShortcutService.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;

namespace {

class FolderOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temporary.isValid());
        suite().removeAll();
    }
    void TearDown() override { suite().removeAll(); }

    static platform::UserDefaults &suite() { return *Defaults::Keys::folders().suite(); }

    Folder makeFolder(const QString &name) {
        QDir().mkpath(m_temporary.filePath(name));
        const QUrl url = url::fromLocalPath(QFile::encodeName(m_temporary.filePath(name)), true);
        return Folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(url)));
    }
    static void storeShortcut(const Folder &folder, const std::optional<Shortkeel::Shortcut> &shortcut) {
        const QString key =
            Shortkeel::Name(folder.id.toString(QUuid::WithoutBraces).toUpper()).userDefaultsKey();
        suite().setObject(
            shortcut ? PropertyListValue(QString::fromStdString(JsonText::encode(shortcut->toJson())))
                     : PropertyListValue(false),
            key);
    }

    QTemporaryDir m_temporary;
};

} // namespace

TEST_F(FolderOperationsTest, AccessCoversEveryResolvableFolderAndTheRoot) {
    kestrova::testing::ReportedErrors reports;
    const Folder a = makeFolder(QStringLiteral("A"));
    const Folder gone = makeFolder(QStringLiteral("Gone"));
    const Folder b = makeFolder(QStringLiteral("B"));
    QDir(m_temporary.filePath(QStringLiteral("Gone"))).removeRecursively();
    Defaults::set(Defaults::Keys::folders(), {a, gone, b});

    const std::vector<QUrl> urls = Folder::allURLs();
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], a.urlBookmark.url());
    EXPECT_EQ(urls[1], b.urlBookmark.url());

    Folder::startAccessingSecurityScopedResources();
    EXPECT_EQ(BookmarkData::accessCount(urls[0]), 1);
    EXPECT_EQ(BookmarkData::accessCount(urls[1]), 1);
    Folder::stopAccessingSecurityScopedResources();
    EXPECT_EQ(BookmarkData::accessCount(urls[0]), 0);

    const Folder root = makeFolder(QStringLiteral("Root"));
    Defaults::set(Defaults::Keys::rootSandboxURLBookmark(), std::optional(root.urlBookmark));
    Folder::startAccessingSecurityScopedResources();
    EXPECT_EQ(BookmarkData::accessCount(*root.urlBookmark.url()), 1);
    Folder::stopAccessingSecurityScopedResources();
    EXPECT_EQ(BookmarkData::accessCount(*root.urlBookmark.url()), 0);

    // The unresolvable folder kept its place.
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()).size(), 3u);
    EXPECT_TRUE(reports.errors().isEmpty());
}

TEST_F(FolderOperationsTest, ShortcutsAreSwitchedOnceAndRemovalResetsThem) {
    kestrova::testing::ScopedFakeShortcutService fake;
    auto &service = fake.service();
    const Folder a = makeFolder(QStringLiteral("A"));
    const Folder disabled = makeFolder(QStringLiteral("Disabled"));
    const Folder without = makeFolder(QStringLiteral("Without"));
    const Folder damaged = makeFolder(QStringLiteral("Damaged"));
    const Shortkeel::Shortcut shortcut{40, 768};
    storeShortcut(a, shortcut);
    storeShortcut(disabled, std::nullopt);
    suite().setObject(PropertyListValue(QStringLiteral("{\"carbonKeyCode\":\"x\"}")),
                      Shortkeel::Name(damaged.id.toString(QUuid::WithoutBraces).toUpper()).userDefaultsKey());
    Defaults::set(Defaults::Keys::folders(), {a, disabled, without, damaged});

    Folder::setAllShortcutsEnabled(true);
    Folder::setAllShortcutsEnabled(true);
    EXPECT_EQ(service.registrations, std::vector<Shortkeel::Shortcut>{shortcut});
    EXPECT_TRUE(service.isRegistered(shortcut));
    Folder::setAllShortcutsEnabled(false);
    Folder::setAllShortcutsEnabled(false);
    EXPECT_EQ(service.unregistrations, (std::vector<Shortkeel::Shortcut>{shortcut, shortcut}));
    EXPECT_FALSE(service.isRegistered(shortcut));
    EXPECT_TRUE(service.hotKeys.empty());

    // Removing resets the shortcut by the folder's upper-case identifier and drops the folder; records that
    // could not be read go with that write.
    auto texts = *suite().object(QStringLiteral("folders"))->getIf<PropertyListValue::Array>();
    texts.push_back(PropertyListValue(QStringLiteral("{\"damaged\":true}")));
    suite().setObject(PropertyListValue(texts), QStringLiteral("folders"));
    disabled.remove();
    EXPECT_EQ(service.resetNames, std::vector<QString>{disabled.id.toString(QUuid::WithoutBraces).toUpper()});
    auto remaining = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(remaining.size(), 3u);
    EXPECT_EQ(remaining[0], a);
    EXPECT_EQ(remaining[1], without);
    EXPECT_EQ(suite().object(QStringLiteral("folders"))->getIf<PropertyListValue::Array>()->size(), 3u);

    // A folder not in the list still has its shortcut reset; the list stays as it was.
    const Folder stranger = makeFolder(QStringLiteral("Stranger"));
    stranger.remove();
    EXPECT_EQ(service.resetNames.size(), 2u);
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), remaining);

    // Without an installed service nothing is registered and nothing fails.
    kestrova::ShortcutService::setShared(nullptr);
    Folder::setAllShortcutsEnabled(true);
    a.remove();
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()).size(), 2u);
}
