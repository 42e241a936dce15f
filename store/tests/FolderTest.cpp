#include "store/DecodedFolders.h"
#include "store/DefaultsKeys.h"
#include "store/Folder.h"

#include "foundation/files/FileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/defaults/KeyedArchive.h"
#include "store/BookmarkData.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;
using platform::PropertyListValue;

namespace {

const QUuid kId = QUuid::fromString(QStringLiteral("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"));
const char *kIdText = "6BA7B810-9DAD-11D1-80B4-00C04FD430C8";
// Bytes whose Base64 form has slashes, which stored JSON writes as "\/".
const QByteArray kBookmarkBytes("\xff\xfe\xfd", 3);

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override { Defaults::Keys::folders().reset(); }
    void TearDown() override { Defaults::Keys::folders().reset(); }

    static void storeTexts(const QStringList &texts) {
        PropertyListValue::Array array;
        for (const QString &text : texts)
            array.push_back(PropertyListValue(text));
        Defaults::Keys::folders().suite()->setObject(PropertyListValue(array), QStringLiteral("folders"));
    }
    static std::optional<PropertyListValue> stored() {
        return Defaults::Keys::folders().suite()->object(QStringLiteral("folders"));
    }
    // A stored record with all defaults, with `replace` put over its members.
    static QString record(const Json &replace = Json::object(), const std::vector<std::string> &drop = {}) {
        Json json = Folder(kId, SandboxURLBookmark(kBookmarkBytes)).toJson();
        for (const auto &[key, value] : replace.items())
            json[key] = value;
        for (const auto &key : drop)
            json.erase(key);
        return QString::fromStdString(JsonText::encode(json));
    }
};

platform::Image smallImage() {
    QImage pixels(1, 1, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    return *platform::Image::fromQImage(pixels);
}

std::string escapedBase64(const QByteArray &bytes) {
    return bytes.toBase64().replace("/", "\\/").toStdString();
}

} // namespace

TEST_F(FolderTest, StoredJsonForm) {
    const Folder plain(kId, SandboxURLBookmark(kBookmarkBytes));
    Defaults::set(Defaults::Keys::folders(), {plain});
    const auto storedList = stored();
    ASSERT_TRUE(storedList);
    const auto &texts = *storedList->getIf<PropertyListValue::Array>();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(
        texts[0].getIf<QString>()->toStdString(),
        std::string(R"({"id":")") + kIdText + R"(","urlBookmark":"\/\/79","menuBarItemStyle":"icon",)" +
            R"("showTitleInMenu":true,"fileIconSize":"small","sortOrder":"name","keepFoldersOnTop":true,)" +
            R"("isVisible":true,"showHiddenItems":false,"iconType":"symbol",)" +
            R"("isUserSuppliedIconTemplate":true,"showOpenWithMenuForFolders":false})");

    Folder full = plain;
    full.customTitle = QStringLiteral("Wörk \"1\"");
    full.customIconName = QStringLiteral("doc.fill");
    full.menuBarItemStyle = Folder::MenuBarItemStyle::iconAndTitle;
    full.showTitleInMenu = false;
    full.fileIconSize = Folder::FileIconSize::large;
    full.sortOrder = Folder::SortOrder::dateModified;
    full.keepFoldersOnTop = false;
    full.isVisible = false;
    full.itemLimit = 0;
    full.showHiddenItems = true;
    full.iconType = MenuBarItemIcon::Kind::custom;
    full.lightColor = platform::Color(0.1, 0.2, 0.3, 1);
    full.darkColor = platform::Color(1.5, 0, -0.25, 0.5);
    full.userSuppliedIcon = smallImage();
    full.isUserSuppliedIconTemplate = false;
    full.showOpenWithMenuForFolders = true;
    EXPECT_EQ(
        JsonText::encode(full.toJson()),
        std::string(R"({"id":")") + kIdText + R"(","urlBookmark":"\/\/79","customTitle":"Wörk \"1\"",)" +
            R"("customIconName":"doc.fill","menuBarItemStyle":"iconAndTitle","showTitleInMenu":false,)" +
            R"("fileIconSize":"large","sortOrder":"dateModified","keepFoldersOnTop":false,"isVisible":false,)" +
            R"("itemLimit":0,"showHiddenItems":true,"iconType":"custom","lightColor":")" +
            escapedBase64(platform::KeyedArchive::archive(*full.lightColor)) + R"(","darkColor":")" +
            escapedBase64(platform::KeyedArchive::archive(*full.darkColor)) + R"(","userSuppliedIcon":")" +
            escapedBase64(platform::KeyedArchive::archive(*full.userSuppliedIcon)) +
            R"(","isUserSuppliedIconTemplate":false,"showOpenWithMenuForFolders":true})");

    Defaults::set(Defaults::Keys::folders(), {plain, full});
    const auto back = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], plain);
    EXPECT_EQ(back[1], full);
    EXPECT_EQ(std::hash<Folder>{}(back[1]), std::hash<Folder>{}(full));
    EXPECT_NE(std::hash<Folder>{}(plain), std::hash<Folder>{}(full));
    EXPECT_EQ(back[1].itemLimit, std::optional<std::int64_t>(0));
    // Lower-case identifiers are read too.
    const auto lower = decodeJsonValue<Folder>(
        record({{"id", QString::fromLatin1(kIdText).toLower().toStdString()}}).toStdString());
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->id, kId);
}

TEST_F(FolderTest, TolerantReadingOfTheStoredList) {
    const QByteArray colourAsImage = platform::KeyedArchive::archive(platform::Color(1, 0, 0)).toBase64();
    const QStringList texts = {
        // 0: written before the tolerant members existed
        record({}, {"isVisible", "showHiddenItems", "iconType", "isUserSuppliedIconTemplate",
                    "showOpenWithMenuForFolders"}),
        // dropped: a required member is missing
        record({}, {"keepFoldersOnTop"}),
        // 1: null tolerant members keep their defaults; a newer build's members are ignored
        record({{"isVisible", nullptr},
                {"iconType", nullptr},
                {"badge", {{"count", 3}}},
                {"sortOrder", "kind"}}),
        // dropped: wrong kinds, unknown cases, damaged or mistyped archives, a bad identifier
        record({{"isVisible", "yes"}}),
        record({{"sortOrder", "size"}}),
        record({{"lightColor", "AAAA"}}),
        record({{"userSuppliedIcon", colourAsImage.toStdString()}}),
        record({{"itemLimit", 1.5}}),
        record({{"urlBookmark", "not base64!"}}),
        record({{"id", "not-a-uuid"}}),
        QStringLiteral("not json at all"),
        QStringLiteral(""),
        QStringLiteral("[1,2]"),
        // 2: two records in one text give the first
        record({{"customTitle", "first"}}) + QLatin1Char(',') + record({{"customTitle", "second"}}),
        // 3: a negative limit and bookmark bytes that are no bookmark are still stored as they are
        record({{"itemLimit", -5},
                {"urlBookmark", QByteArray("random \x01\x02 bytes").toBase64().toStdString()}}),
    };
    storeTexts(texts);
    const auto before = stored();

    const auto folders = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_TRUE(folders[0].isVisible);
    EXPECT_FALSE(folders[0].showHiddenItems);
    EXPECT_EQ(folders[0].iconType, MenuBarItemIcon::Kind::symbol);
    EXPECT_TRUE(folders[0].isUserSuppliedIconTemplate);
    EXPECT_FALSE(folders[0].showOpenWithMenuForFolders);
    EXPECT_TRUE(folders[1].isVisible);
    EXPECT_EQ(folders[1].sortOrder, Folder::SortOrder::kind);
    EXPECT_EQ(folders[2].customTitle, QStringLiteral("first"));
    EXPECT_EQ(folders[3].itemLimit, std::optional<std::int64_t>(-5));
    EXPECT_EQ(folders[3].effectiveItemLimit(), std::optional<std::int64_t>(0));
    EXPECT_EQ(folders[0].effectiveItemLimit(), std::nullopt);

    // Reading (and using) the folders rewrites nothing.
    kestrova::testing::ReportedErrors reports;
    for (const Folder &folder : folders)
        EXPECT_FALSE(folder.title().isEmpty());
    EXPECT_EQ(stored(), before);

    // A stored value that is not a list of texts reads as no folders.
    Defaults::Keys::folders().suite()->setObject(PropertyListValue(QStringLiteral("folders")),
                                                 QStringLiteral("folders"));
    EXPECT_TRUE(Defaults::get(Defaults::Keys::folders()).empty());
    EXPECT_EQ(Folder::decodeFolderList(std::nullopt), std::nullopt);
    EXPECT_EQ(Folder::decodeFolderList(PropertyListValue(QStringLiteral("x"))), std::nullopt);
}

// The list decoded on another thread is what the main thread takes while it is still stored; a change stored
// meanwhile (or a stored value that is no list) is what it gets instead.
TEST_F(FolderTest, AListDecodedAheadIsTakenOnlyWhileItIsStillStored) {
    const Folder first(QUuid::createUuid(), SandboxURLBookmark(kBookmarkBytes));
    Folder second(QUuid::createUuid(), SandboxURLBookmark(kBookmarkBytes));
    second.customTitle = QStringLiteral("second");
    Defaults::set(Defaults::Keys::folders(), {first, second});
    const auto readOnAnotherThread = [] {
        std::optional<DecodedFolders> decoded;
        std::thread([&decoded] { decoded = DecodedFolders::read(); }).join();
        return std::move(*decoded);
    };

    EXPECT_EQ(readOnAnotherThread().take(), (std::vector<Folder>{first, second}));

    DecodedFolders stale = readOnAnotherThread();
    second.customTitle = QStringLiteral("renamed");
    Defaults::set(Defaults::Keys::folders(), {second});
    EXPECT_EQ(std::move(stale).take(), std::vector<Folder>{second});

    DecodedFolders removed = readOnAnotherThread();
    Defaults::Keys::folders().suite()->setObject(PropertyListValue(QStringLiteral("folders")),
                                                 QStringLiteral("folders"));
    EXPECT_TRUE(std::move(removed).take().empty());
}

TEST_F(FolderTest, WhatANewerVersionWroteSurvivesARewrite) {
    // Two records with members this version does not know; one change to the other folder rewrites both.
    storeTexts({record({{"badge", {{"count", 3}, {"list", {1, "x", nullptr}}}}, {"tint", "0.5"}}),
                record({{"id", "7A11C9E2-0D5C-4C7E-9F0B-2B1D7C1E3A44"}, {"pinned", true}})});
    auto folders = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(folders.size(), 2u);
    folders[1].isVisible = false;
    Defaults::set(Defaults::Keys::folders(), folders);

    const auto written = stored();
    ASSERT_TRUE(written && written->is<PropertyListValue::Array>());
    const auto &texts = *written->getIf<PropertyListValue::Array>();
    ASSERT_EQ(texts.size(), 2u);
    const std::string first = texts[0].getIf<QString>()->toStdString();
    const std::string second = texts[1].getIf<QString>()->toStdString();
    EXPECT_NE(first.find(R"("badge":{"count":3,"list":[1,"x",null]})"), std::string::npos) << first;
    EXPECT_NE(first.find(R"("tint":"0.5")"), std::string::npos) << first;
    EXPECT_NE(second.find(R"("pinned":true)"), std::string::npos) << second;
    EXPECT_NE(second.find(R"("isVisible":false)"), std::string::npos) << second;
    // A member this version knows is never written twice, whatever the kept members say.
    EXPECT_EQ(Json::parse(second).count("isVisible"), 1u);
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), folders);
}

TEST_F(FolderTest, TitleAndSymbolRules) {
    kestrova::testing::ReportedErrors reports;
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QByteArray root = QFile::encodeName(temporary.path());
    ASSERT_TRUE(QDir().mkpath(temporary.filePath(QStringLiteral("Projects"))));
    const auto bookmarkOf = [](const QByteArray &path) {
        return SandboxURLBookmark(BookmarkData::create(url::fromLocalPath(path, true)));
    };

    Folder projects(QUuid::createUuid(), bookmarkOf(root + "/Projects"));
    EXPECT_EQ(projects.title(), QStringLiteral("Projects"));
    projects.customTitle = QStringLiteral(" \t\n ");
    EXPECT_EQ(projects.title(), QStringLiteral("Projects"));
    projects.customTitle = QStringLiteral(" Mine ");
    EXPECT_EQ(projects.title(), QStringLiteral(" Mine "));
    EXPECT_EQ(projects.iconName(), QStringLiteral("folder.fill"));
    projects.customIconName = QStringLiteral("  ");
    EXPECT_EQ(projects.iconName(), QStringLiteral("folder.fill"));

    // A name that is not valid UTF-8 still has a title.
    const QByteArray oddName = root + "/caf\xe9";
    ASSERT_EQ(::mkdir(oddName.constData(), 0700), 0);
    Folder odd(QUuid::createUuid(), bookmarkOf(oddName));
    EXPECT_FALSE(odd.title().isEmpty());
    EXPECT_NE(odd.title(), QStringLiteral("<Unknown Title>"));
    ::rmdir(oddName.constData());

    // A folder that is gone keeps the name and symbol it was made with; a bookmark with no URL has neither.
    ASSERT_TRUE(QDir().mkpath(temporary.filePath(QStringLiteral("Gone"))));
    Folder gone(QUuid::createUuid(), bookmarkOf(root + "/Gone"));
    ASSERT_TRUE(QDir(temporary.filePath(QStringLiteral("Gone"))).removeRecursively());
    EXPECT_FALSE(gone.urlBookmark.url());
    EXPECT_EQ(gone.title(), QStringLiteral("Gone"));
    Folder nowhere(QUuid::createUuid(), SandboxURLBookmark(QByteArray("\x00\x01garbage", 9)));
    EXPECT_EQ(nowhere.title(), QStringLiteral("<Unknown Title>"));
    EXPECT_EQ(nowhere.defaultIconName(), std::nullopt);
    EXPECT_EQ(nowhere.iconName(), QStringLiteral("folder.fill"));
    // Reported once, however often the folder is drawn.
    EXPECT_EQ(reports.errors().size(), 1);
    EXPECT_EQ(reports.descriptions(), QStringLiteral("originalURL for bookmark is `nil`"));

    const QUrl home = url::realHomeDirectory();
    const auto inHome = [&home](const char *name) {
        return url::appendingPathComponent(home, QString::fromLatin1(name), true);
    };
    EXPECT_EQ(Folder::defaultIconName(home), QStringLiteral("house.fill"));
    EXPECT_EQ(Folder::defaultIconName(url::downloadsDirectory()), QStringLiteral("arrow.down.circle"));
    EXPECT_EQ(Folder::defaultIconName(url::documentsDirectory()), QStringLiteral("doc.fill"));
    EXPECT_EQ(Folder::defaultIconName(url::userApplicationsDirectory()), QStringLiteral("app"));
    EXPECT_EQ(Folder::defaultIconName(inHome("dev")), QStringLiteral("hammer.fill"));
    EXPECT_EQ(Folder::defaultIconName(inHome("Dev")), QStringLiteral("hammer.fill"));
    EXPECT_EQ(Folder::defaultIconName(inHome("Projects")), QStringLiteral("folder.fill"));
    // Only the folder itself, not something inside it or a file of that name.
    EXPECT_EQ(Folder::defaultIconName(url::appendingPathComponent(inHome("dev"), QStringLiteral("x"), true)),
              QStringLiteral("folder.fill"));
    EXPECT_EQ(Folder::defaultIconName(url::appendingPathComponent(home, QStringLiteral("dev"), false)),
              QStringLiteral("folder.fill"));

    // Images: the symbol size rule, the fallback symbol and the user's picture.
    const auto symbolOf = [](const Folder &folder) {
        const MenuBarItemImage image = folder.nsImage();
        return image.symbol() ? std::pair{image.symbol()->name(), image.symbol()->pointSize()}
                              : std::pair{QString(), qreal(0)};
    };
    projects.customIconName = QStringLiteral("made.up.circle");
    EXPECT_EQ(symbolOf(projects), (std::pair{QStringLiteral("folder.fill"), qreal(16)}));
    projects.customIconName = QStringLiteral("made.up");
    EXPECT_EQ(symbolOf(projects), (std::pair{QStringLiteral("folder.fill"), qreal(14)}));
    projects.customIconName = QStringLiteral("arrow.down.circle");
    EXPECT_EQ(symbolOf(projects), (std::pair{QStringLiteral("arrow.down.circle"), qreal(16)}));
    projects.iconType = MenuBarItemIcon::Kind::custom;
    EXPECT_EQ(symbolOf(projects), (std::pair{QStringLiteral("questionmark.app.fill"), qreal(16)}));
    projects.userSuppliedIcon = smallImage();
    projects.isUserSuppliedIconTemplate = false;
    ASSERT_TRUE(projects.nsImage().customImage());
    EXPECT_FALSE(projects.nsImage().isTemplate());

    EXPECT_TRUE(Folder::showsIcon(Folder::MenuBarItemStyle::iconAndTitle));
    EXPECT_FALSE(Folder::showsIcon(Folder::MenuBarItemStyle::title));
    EXPECT_TRUE(Folder::showsTitle(Folder::MenuBarItemStyle::title));
    EXPECT_FALSE(Folder::showsTitle(Folder::MenuBarItemStyle::icon));
}

TEST_F(FolderTest, KeysAndTheirDefaults) {
    using namespace Defaults;
    EXPECT_TRUE(get(Keys::folders()).empty());
    EXPECT_EQ(get(Keys::rootSandboxURLBookmark()), std::nullopt);
    EXPECT_FALSE(Keys::rootSandboxURLBookmark().suite()->object(QStringLiteral("rootSandboxURLBookmark")));
    EXPECT_TRUE(get(Keys::subfolderSortOrder()).empty());
    EXPECT_FALSE(get(Keys::showFoldersInMenu()));
    EXPECT_TRUE(get(Keys::showIconsInMenu()));
    EXPECT_TRUE(get(Keys::showFileAndDirectorySubmenu()));
    EXPECT_FALSE(get(Keys::hasMigratedSandbox()));

    set(Keys::rootSandboxURLBookmark(), std::optional(SandboxURLBookmark(kBookmarkBytes)));
    EXPECT_EQ(Keys::rootSandboxURLBookmark().suite()->object(QStringLiteral("rootSandboxURLBookmark")),
              PropertyListValue(kBookmarkBytes));
    set(Keys::rootSandboxURLBookmark(), std::optional<SandboxURLBookmark>());
    EXPECT_FALSE(Keys::rootSandboxURLBookmark().suite()->object(QStringLiteral("rootSandboxURLBookmark")));

    set(Keys::subfolderSortOrder(), {{QStringLiteral("file:///tmp/a/"), Folder::SortOrder::dateAdded}});
    const auto stored = Keys::subfolderSortOrder().suite()->object(QStringLiteral("subfolderSortOrder"));
    ASSERT_TRUE(stored && stored->getIf<PropertyListValue::Dictionary>());
    EXPECT_EQ(stored->getIf<PropertyListValue::Dictionary>()->at(QStringLiteral("file:///tmp/a/")),
              PropertyListValue(QStringLiteral("dateAdded")));
    Keys::subfolderSortOrder().reset();
}
