// The scriptable actions without a bus: what a folder looks like to a caller, and which requests change
// the stored list (and relaunch) and which are refused with nothing stored.
#include "integration/GetFoldersIntentHandler.h"
#include "integration/ScriptingService.h"
#include "integration/SetFolderVisibilityIntentHandler.h"

#include "foundation/files/FileUrl.h"
#include "StoredFolders_p.h"
#include "store/DefaultsKeys.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

class FolderIntentsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    void TearDown() override { Defaults::set(Defaults::Keys::folders(), {}); }

    Folder makeFolder(const QString &name, bool isVisible) {
        return testing::makeStoredFolder(m_root, name, isVisible);
    }
    // Three stored folders a (visible), b (hidden), c (visible).
    std::vector<Folder> storeThree() {
        std::vector<Folder> folders{makeFolder(QStringLiteral("a"), true),
                                    makeFolder(QStringLiteral("b"), false),
                                    makeFolder(QStringLiteral("c"), true)};
        Defaults::set(Defaults::Keys::folders(), folders);
        return folders;
    }
    static std::vector<bool> storedVisibility() {
        std::vector<bool> visibility;
        for (const Folder &folder : Defaults::get(Defaults::Keys::folders()))
            visibility.push_back(folder.isVisible);
        return visibility;
    }
    static QString idOf(const Folder &folder) { return folder.id.toString(QUuid::WithoutBraces); }

    // Runs the request; answers the error, or nothing when it succeeded.
    std::optional<IntentError> request(const SetFolderVisibilityIntent &intent) {
        const SetFolderVisibilityIntentHandler handler([this] { ++m_relaunches; });
        const auto outcome = handler.handleSetFolderVisibility(intent);
        if (const auto *error = std::get_if<IntentError>(&outcome))
            return *error;
        EXPECT_EQ(std::get<SetFolderVisibilityIntentResponse>(outcome).code, IntentResponseCode::success);
        return std::nullopt;
    }

    static SetFolderVisibilityIntent intent(std::optional<std::vector<QString>> folder,
                                            std::optional<bool> isVisible = std::nullopt,
                                            std::optional<bool> hideOtherFolders = std::nullopt,
                                            std::optional<bool> showOtherFolders = std::nullopt) {
        SetFolderVisibilityIntent value;
        value.folder = std::move(folder);
        value.isVisible = isVisible;
        value.hideOtherFolders = hideOtherFolders;
        value.showOtherFolders = showOtherFolders;
        return value;
    }

    QTemporaryDir m_root;
    int m_relaunches = 0;
};

TEST_F(FolderIntentsTest, GetFoldersListsEveryFolderInStoredOrderAsACallerSeesIt) {
    EXPECT_TRUE(GetFoldersIntentHandler().handleGetFolders().result.empty());
    std::vector<Folder> folders = storeThree();
    folders[0].customTitle = QStringLiteral("  ");
    folders[2].customTitle = QStringLiteral("Work");
    folders[2].customIconName = QStringLiteral("no.such.symbol");
    Folder gone(QUuid::createUuid(), SandboxURLBookmark(QByteArray("garbage")));
    folders.push_back(gone);
    Defaults::set(Defaults::Keys::folders(), folders);

    const GetFoldersIntentResponse response = GetFoldersIntentHandler().handleGetFolders();
    EXPECT_EQ(response.code, IntentResponseCode::success);
    ASSERT_EQ(response.result.size(), 4u);
    const Folder_ &first = response.result[0];
    EXPECT_EQ(first.identifier, idOf(folders[0]).toUpper());
    EXPECT_EQ(first.displayString, QStringLiteral("a")) << "a blank title shows the folder's name";
    EXPECT_EQ(first.path, QDir(m_root.filePath(QStringLiteral("a"))).canonicalPath());
    EXPECT_EQ(first.subtitleString, first.path) << "outside the home folder";
    ASSERT_TRUE(first.displayImage);
    const QImage image = QImage::fromData(*first.displayImage, "PNG");
    EXPECT_EQ(image.size(), QSize(60, 60));
    EXPECT_FALSE(response.result[1].isVisible) << "hidden folders are listed too";
    EXPECT_EQ(response.result[2].displayString, QStringLiteral("Work"));
    EXPECT_FALSE(response.result[2].displayImage) << "a symbol that cannot be drawn gives no image";
    EXPECT_FALSE(response.result[3].path);
    EXPECT_FALSE(response.result[3].subtitleString);
    EXPECT_EQ(response.result[3].identifier, idOf(gone).toUpper());
}

TEST_F(FolderIntentsTest, VisibilityRequestsChangeOnlyIsVisibleAndRelaunchOnceStored) {
    const std::vector<Folder> folders = storeThree();
    EXPECT_FALSE(request(intent({{idOf(folders[1])}})));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(m_relaunches, 1);

    EXPECT_FALSE(
        request(intent({{idOf(folders[0]).toUpper(), idOf(folders[1])}}, false, std::nullopt, true)));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{false, false, true}));

    EXPECT_FALSE(request(intent({{idOf(folders[1])}}, true, true, true)));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{false, true, false}));
    // Nothing changes, and it is still stored and relaunched.
    EXPECT_FALSE(request(intent({{idOf(folders[1])}})));
    EXPECT_EQ(m_relaunches, 4);

    // Every other member is kept as stored.
    std::vector<Folder> expected = folders;
    expected[0].isVisible = false;
    expected[1].isVisible = true;
    expected[2].isVisible = false;
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), expected);

    EXPECT_FALSE(request(intent(std::nullopt)));
    EXPECT_EQ(m_relaunches, 4) << "without folders nothing is stored or relaunched";

    // A folder named twice is chosen once; an empty list with a flag for the others acts on all of them.
    EXPECT_FALSE(request(intent({{idOf(folders[2]), idOf(folders[2]).toUpper()}}, true)));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{false, true, true}));
    EXPECT_FALSE(request(intent(std::vector<QString>{}, true, true)));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(request(intent(std::vector<QString>{}, false, std::nullopt, true)));
    EXPECT_EQ(storedVisibility(), (std::vector<bool>{true, true, true}));
}

TEST_F(FolderIntentsTest, UntrustedIdentifiersAreRefusedWithNothingStored) {
    const std::vector<Folder> folders = storeThree();
    const QString id = idOf(folders[0]);
    const std::vector<std::pair<std::vector<QString>, IntentError::Kind>> refused{
        {{QStringLiteral("not-a-uuid")}, IntentError::Kind::invalidArguments},
        {{u'{' + id + u'}'}, IntentError::Kind::invalidArguments},
        {{id, QStringLiteral("")}, IntentError::Kind::invalidArguments},
        {{id, QUuid::createUuid().toString(QUuid::WithoutBraces)}, IntentError::Kind::unknownFolder},
        {std::vector<QString>(SetFolderVisibilityIntentHandler::kMostFolders + 1, id),
         IntentError::Kind::invalidArguments},
    };
    for (const auto &[identifiers, kind] : refused) {
        const auto error = request(intent(identifiers, false, std::nullopt, true));
        ASSERT_TRUE(error) << identifiers.size();
        EXPECT_EQ(error->kind, kind) << error->message.toStdString();
        EXPECT_FALSE(error->message.isEmpty());
    }
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), folders);
    EXPECT_EQ(m_relaunches, 0);
    EXPECT_TRUE(isUuidText(QStringLiteral("00000000-0000-0000-0000-000000000000")));
}

TEST_F(FolderIntentsTest, CallParametersOfAnotherTypeOrNameAreRefused) {
    const auto intent = ScriptingService::intentFromParameters(
        {{QStringLiteral("folder"), QStringList{QStringLiteral("x")}}, {QStringLiteral("isVisible"), false}});
    ASSERT_TRUE(std::holds_alternative<SetFolderVisibilityIntent>(intent));
    const auto &parsed = std::get<SetFolderVisibilityIntent>(intent);
    EXPECT_EQ(parsed.folder, std::vector<QString>{QStringLiteral("x")});
    EXPECT_EQ(parsed.isVisible, false);
    EXPECT_EQ(parsed.showOtherFolders, std::nullopt);

    for (const QVariantMap &parameters :
         {QVariantMap{{QStringLiteral("folder"), QStringLiteral("x")}},
          QVariantMap{{QStringLiteral("isVisible"), 1}},
          QVariantMap{{QStringLiteral("hideOtherFolders"), QStringLiteral("true")}},
          QVariantMap{{QStringLiteral("colour"), true}}}) {
        EXPECT_TRUE(std::holds_alternative<IntentError>(ScriptingService::intentFromParameters(parameters)))
            << parameters.firstKey().toStdString();
    }
}

} // namespace
} // namespace kestrova
