#pragma once

#include "platform/workspace/Workspace.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

namespace kestrova::platform {

// An application of the desktop's registry, known by its desktop entry (`url`, a ".desktop" file).
struct Application {
    // The desktop file id ("org.example.Editor.desktop").
    QString id;
    QString name;
    QUrl url;
    // A theme icon name or an icon file's path; empty when the entry has none.
    QString iconName;

    bool operator==(const Application &other) const = default;
};

// The application's icon, `pointSize` points square, from the icon theme or the entry's icon file; the
// generic program icon when it has none that can be drawn.
QImage applicationImage(const Application &application, int pointSize);

// The desktop's applications for files: which ones open an item, and opening it with one of them. Items
// are given as path bytes, because a name on disk need not be valid UTF-8. The desktop installs its
// realization at start-up; until then no application is known and every request fails. Main thread only.
class ApplicationRegistry {
public:
    virtual ~ApplicationRegistry() = default;

    // The applications that open the item, the desktop's default one first; none when the item cannot be
    // read or nothing opens its type.
    virtual std::vector<Application> applicationsToOpen(const QByteArray &localPath) = 0;
    // Every application the desktop shows in its menus, by name: what a person may choose from to open
    // an item with.
    virtual std::vector<Application> installedApplications() = 0;
    // Starts the application of the desktop entry `application` with the item.
    virtual WorkspaceResult open(const QByteArray &localPath, const QUrl &application) = 0;

    static ApplicationRegistry &shared();
    static void setShared(std::shared_ptr<ApplicationRegistry> registry);
};

} // namespace kestrova::platform
