#include "DesktopSharingServices.h"

#include "GioFiles_p.h"
#include "platform/workspace/ApplicationRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

namespace kestrova::platform::desktop {

namespace {

// The item's path bytes; empty for anything but a local file.
QByteArray pathBytes(const QUrl &url) {
    if (!url.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

// Every byte outside the unreserved set is escaped, so a name with a comma, quote or ampersand cannot end
// the list or the argument it is written into.
QByteArray fileUri(const QByteArray &path) {
    return "file://" + path.toPercentEncoding("/");
}

QString baseId(QString applicationId) {
    if (applicationId.endsWith(QStringLiteral(".desktop")))
        applicationId.chop(8);
    return applicationId;
}

bool isAmong(const QString &id, std::initializer_list<const char *> ids) {
    for (const char *candidate : ids) {
        if (id.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

class EmailSharingService final : public SharingService {
public:
    EmailSharingService(gio::ApplicationRecord application, QImage image)
        : m_application(std::move(application))
        , m_image(std::move(image)) {}

    QString title() const override { return QStringLiteral("Email"); }
    QImage image() const override { return m_image; }

    WorkspaceResult perform(const std::vector<QUrl> &items) override {
        std::vector<QByteArray> paths;
        for (const QUrl &item : items) {
            const QByteArray path = pathBytes(item);
            struct stat status {};
            if (path.isEmpty() || ::stat(path.constData(), &status) != 0) {
                return WorkspaceResult::failed(
                    QStringLiteral("“%1” no longer exists.")
                        .arg(QFile::decodeName(path.mid(path.lastIndexOf('/') + 1))));
            }
            paths.push_back(path);
        }
        const auto command = emailCommand(QString::fromStdString(m_application.id),
                                          QString::fromStdString(m_application.executable), paths);
        if (!command)
            return WorkspaceResult::failed(QStringLiteral("The mail application cannot attach files."));
        if (!command->mailtoLink.isEmpty()) {
            const std::string failure =
                gio::launchWithUris(m_application.filePath, {command->mailtoLink.toStdString()});
            if (failure.empty())
                return WorkspaceResult::done();
            return WorkspaceResult::failed(QString::fromStdString(failure));
        }
        if (!QProcess::startDetached(command->program, command->arguments))
            return WorkspaceResult::failed(
                QStringLiteral("The mail application “%1” did not start.").arg(command->program));
        return WorkspaceResult::done();
    }

private:
    gio::ApplicationRecord m_application;
    QImage m_image;
};

} // namespace

std::optional<EmailCommand> emailCommand(const QString &applicationId, const QString &executable,
                                         const std::vector<QByteArray> &attachments) {
    const QString id = baseId(applicationId);
    if (isAmong(id, {"org.gnome.Evolution", "evolution"})) {
        // Its "mailto:" handling reads "attach" fields.
        QStringList fields;
        for (const QByteArray &path : attachments)
            fields << QStringLiteral("attach=") + QString::fromLatin1(fileUri(path).toPercentEncoding());
        return EmailCommand{QStringLiteral("mailto:?") + fields.join(QLatin1Char('&')), {}, {}};
    }
    // Its composer takes the attachments from its own command line, so the entry must start the program
    // itself rather than a launcher that would not pass the arguments on.
    if (isAmong(id, {"thunderbird", "org.mozilla.Thunderbird", "net.thunderbird.Thunderbird",
                     "mozilla-thunderbird"}) &&
        QFileInfo(executable).fileName().startsWith(QStringLiteral("thunderbird"))) {
        QStringList uris;
        for (const QByteArray &path : attachments)
            uris << QString::fromLatin1(fileUri(path));
        return EmailCommand{
            {},
            executable,
            {QStringLiteral("-compose"), QStringLiteral("attachment='%1'").arg(uris.join(QLatin1Char(',')))}};
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<SharingService>>
DesktopSharingServices::servicesForItems(const std::vector<QUrl> &items) {
    if (items.empty())
        return {};
    std::vector<QByteArray> paths;
    for (const QUrl &item : items) {
        const QByteArray path = pathBytes(item);
        if (path.isEmpty())
            return {};
        paths.push_back(path);
    }
    auto mail = gio::defaultMailApplication();
    if (!mail || mail->filePath.empty())
        return {};
    if (!emailCommand(QString::fromStdString(mail->id), QString::fromStdString(mail->executable), paths))
        return {};
    const Application application{QString::fromStdString(mail->id),
                                  QString::fromStdString(mail->name),
                                  {},
                                  QString::fromStdString(mail->iconName)};
    return {std::make_shared<EmailSharingService>(std::move(*mail), applicationImage(application, 16))};
}

} // namespace kestrova::platform::desktop
