#include "DesktopApplicationRegistry.h"

#include "GioFiles_p.h"

#include <QCollator>
#include <QFile>

#include <algorithm>

namespace kestrova::platform::desktop {

namespace {

Application applicationOf(const gio::ApplicationRecord &record) {
    return {QString::fromStdString(record.id), QString::fromStdString(record.name),
            record.filePath.empty()
                ? QUrl()
                : QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(record.filePath))),
            QString::fromStdString(record.iconName)};
}

} // namespace

std::vector<Application> DesktopApplicationRegistry::applicationsToOpen(const QByteArray &localPath) {
    std::vector<Application> applications;
    if (localPath.isEmpty())
        return applications;
    for (const auto &record : gio::applicationsForPath(localPath.toStdString()))
        applications.push_back(applicationOf(record));
    return applications;
}

std::vector<Application> DesktopApplicationRegistry::installedApplications() {
    std::vector<Application> applications;
    for (const auto &record : gio::shownApplications())
        applications.push_back(applicationOf(record));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(applications.begin(), applications.end(), [&](const auto &left, const auto &right) {
        return collator.compare(left.name, right.name) < 0;
    });
    return applications;
}

WorkspaceResult DesktopApplicationRegistry::open(const QByteArray &localPath, const QUrl &application) {
    if (!application.isLocalFile())
        return WorkspaceResult::failed(QStringLiteral("The application has no desktop entry to start."));
    const std::string failure = gio::launchWithPaths(
        QFile::encodeName(application.toLocalFile()).toStdString(), {localPath.toStdString()});
    if (failure.empty())
        return WorkspaceResult::done();
    return WorkspaceResult::failed(QString::fromStdString(failure));
}

} // namespace kestrova::platform::desktop
