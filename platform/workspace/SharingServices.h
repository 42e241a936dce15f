#pragma once

#include "platform/workspace/Workspace.h"

#include <QImage>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

namespace kestrova::platform {

// One way of handing items on to someone else, such as an e-mail with the files attached.
class SharingService {
public:
    virtual ~SharingService() = default;

    virtual QString title() const = 0;
    // Null when the service has no picture.
    virtual QImage image() const = 0;
    // Hands the items over; a failure comes back with a sentence for the user.
    virtual WorkspaceResult perform(const std::vector<QUrl> &items) = 0;
};

// The sharing services this desktop really offers. The desktop installs its realization at start-up; until
// then, and wherever nothing applies, there is none (never a service that cannot do its job). Main thread
// only.
class SharingServices {
public:
    virtual ~SharingServices() = default;

    // The services that can take every one of the items, in the order to list them.
    virtual std::vector<std::shared_ptr<SharingService>> servicesForItems(const std::vector<QUrl> &items) = 0;

    static SharingServices &shared();
    static void setShared(std::shared_ptr<SharingServices> services);
};

} // namespace kestrova::platform
