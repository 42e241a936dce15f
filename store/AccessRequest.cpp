#include "AccessRequest_p.h"

#include "foundation/files/FileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "platform/alerts/Alert.h"

#include <QCoreApplication>
#include <QFile>

#include <climits>
#include <cstdlib>
#include <memory>

namespace kestrova::accessrequest {

QUrl requestedDirectory(const QUrl &url) {
    if (url.path().endsWith(QLatin1Char('/')))
        return url;
    return url.adjusted(QUrl::RemoveFilename);
}

QUrl canonicalDirectory(const QUrl &url) {
    const QByteArray path = url::localPath(url);
    if (path.isEmpty())
        return url;
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved))
        return url::fromLocalPath(QByteArray(resolved), /*isDirectory=*/true);
    return url::fromLocalPath(path, /*isDirectory=*/true);
}

QString lastPathComponent(const QUrl &url) {
    const QByteArray path = url::localPath(url);
    if (path.isEmpty())
        return url.fileName();
    if (path == "/")
        return QStringLiteral("/");
    return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
}

QString homeAbbreviatedPath(const QUrl &url) {
    return url::abbreviatingWithTildeInPath(QFile::decodeName(url::localPath(url)));
}

QString applicationName() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Kestrova") : name;
}

QCoro::Task<> presentError(Error error) {
    auto alert = std::make_shared<platform::Alert>();
    alert->messageText = error.localizedDescription();
    alert->informativeText = error.localizedRecoverySuggestion().value_or(QString());
    alert->alertStyle = platform::Alert::Style::critical;
    alert->addButton(QStringLiteral("OK"));
    co_await platform::AlertPresenter::shared().run(alert);
}

} // namespace kestrova::accessrequest
