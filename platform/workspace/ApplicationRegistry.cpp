#include "ApplicationRegistry.h"

#include "FileIcons.h"
#include "platform/SharedService_p.h"

#include <QFileInfo>
#include <QIcon>

namespace kestrova::platform {

namespace {

class NoDesktopApplicationRegistry final : public ApplicationRegistry {
public:
    std::vector<Application> applicationsToOpen(const QByteArray &) override { return {}; }
    std::vector<Application> installedApplications() override { return {}; }
    WorkspaceResult open(const QByteArray &, const QUrl &) override {
        return WorkspaceResult::failed(QStringLiteral("There is no desktop to start applications."));
    }
};

SharedService<ApplicationRegistry, NoDesktopApplicationRegistry> &sharedRegistry() {
    static SharedService<ApplicationRegistry, NoDesktopApplicationRegistry> shared;
    return shared;
}

} // namespace

QImage applicationImage(const Application &application, int pointSize) {
    FileIcons::installFallbackTheme();
    QIcon icon;
    if (QFileInfo(application.iconName).isAbsolute())
        icon = QIcon(application.iconName);
    else if (!application.iconName.isEmpty())
        icon = QIcon::fromTheme(application.iconName);
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return icon.pixmap(pointSize, pointSize).toImage();
}

ApplicationRegistry &ApplicationRegistry::shared() {
    return sharedRegistry().get();
}

void ApplicationRegistry::setShared(std::shared_ptr<ApplicationRegistry> registry) {
    sharedRegistry().set(std::move(registry));
}

} // namespace kestrova::platform
