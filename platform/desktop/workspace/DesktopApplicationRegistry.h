#pragma once

#include "platform/workspace/ApplicationRegistry.h"

namespace kestrova::platform::desktop {

// The XDG application registry through GIO: the applications for an item's content type (the user's
// default from mimeapps.list first) and launching a desktop entry with a file, given to GIO as its path
// bytes so that names that are not valid UTF-8 reach the application unchanged.
class DesktopApplicationRegistry : public ApplicationRegistry {
public:
    std::vector<Application> applicationsToOpen(const QByteArray &localPath) override;
    // The entries GIO says should be shown, sorted by name as a person reads them (case and accents
    // aside).
    std::vector<Application> installedApplications() override;
    WorkspaceResult open(const QByteArray &localPath, const QUrl &application) override;
};

} // namespace kestrova::platform::desktop
