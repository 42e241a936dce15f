#pragma once

#include "platform/workspace/SharingServices.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrova::platform::desktop {

// How the mail application is asked to start a message with files attached: either a "mailto:" link handed
// to its desktop entry, or its program with arguments.
struct EmailCommand {
    QString mailtoLink;
    QString program;
    QStringList arguments;

    bool operator==(const EmailCommand &other) const = default;
};

// The command for the mail application with the desktop file id `applicationId` whose entry starts
// `executable`, attaching the files (path bytes). None for an application not known to take attachments
// from outside: a plain "mailto:" link would open a message without them, which is no way to share files.
std::optional<EmailCommand> emailCommand(const QString &applicationId, const QString &executable,
                                         const std::vector<QByteArray> &attachments);

// The sharing services of this desktop: "Email", through the user's mail application when it is one that
// takes attachments (see emailCommand), for local files only.
class DesktopSharingServices : public SharingServices {
public:
    std::vector<std::shared_ptr<SharingService>> servicesForItems(const std::vector<QUrl> &items) override;
};

} // namespace kestrova::platform::desktop
