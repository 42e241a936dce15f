#include "ui-kit/utilities/SystemServices.h"

#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/RecordingWorkspace.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(SystemServicesTest, ShowInfoOpensPropertiesAndOtherNamesAreUnavailable) {
    testing::ScopedRecordingWorkspace workspace;
    testing::ScopedInMemoryPasteboard pasteboard;
    const QUrl first = QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"));
    const QUrl second = QUrl::fromLocalFile(QStringLiteral("/tmp/b"));

    SystemServices::performService(QStringLiteral("Finder/Show Info"), {first, second});
    const std::vector<std::pair<QString, QUrl>> expected{{QStringLiteral("showProperties"), first},
                                                         {QStringLiteral("showProperties"), second}};
    EXPECT_EQ(workspace.workspace().requests, expected);

    try {
        SystemServices::performService(QStringLiteral("Mail/Send File"), {first});
        ADD_FAILURE() << "an unknown service ran";
    } catch (const SystemServices::Error &error) {
        EXPECT_EQ(error, SystemServices::Error::unknownServiceFailure(QStringLiteral("other")));
        EXPECT_EQ(error.domain(), QStringLiteral("Kestrova.SystemServices.Error"));
        EXPECT_EQ(error.code(), 0);
        EXPECT_EQ(error.localizedDescription(),
                  QStringLiteral("The service “Mail/Send File” is not available on this system."));
    }
    EXPECT_EQ(workspace.workspace().requests.size(), 2U);

    // A failure of the file manager, or a stand-in for the window it should have shown, is no success.
    for (const auto &result :
         {platform::WorkspaceResult::failed(QStringLiteral("“a.txt” no longer exists.")),
          platform::WorkspaceResult{true,
                                    QStringLiteral("No file manager answered, so the folder was opened.")}}) {
        workspace.workspace().result = result;
        try {
            SystemServices::performService(QStringLiteral("Finder/Show Info"), {first});
            ADD_FAILURE() << "a failure went unreported";
        } catch (const kestrova::Error &error) {
            EXPECT_EQ(error.localizedDescription(), result.message);
        }
    }

    // The user's clipboard is never used to hand the items over.
    EXPECT_EQ(pasteboard.pasteboard().writeCount(), 0);
}

} // namespace
} // namespace kestrova
