#include "SystemServices.h"

#include "platform/workspace/Workspace.h"

namespace kestrova::SystemServices {

namespace {

const QString kShowInfo = QStringLiteral("Finder/Show Info");

} // namespace

Error::Error(const QString &serviceName, const std::optional<QString> &reason)
    : kestrova::Error(
          QStringLiteral("Kestrova.SystemServices.Error"), 0, {},
          QStringLiteral("SystemServices.Error.unknownServiceFailure"),
          ProvidedTexts{
              reason.value_or(
                  QStringLiteral("The service “%1” is not available on this system.").arg(serviceName)),
              std::nullopt, std::nullopt, std::nullopt}) {}

Error Error::unknownServiceFailure(const QString &serviceName, const std::optional<QString> &reason) {
    return Error(serviceName, reason);
}

void performService(const QString &name, const std::vector<QUrl> &urls) {
    if (name != kShowInfo)
        throw Error::unknownServiceFailure(name);
    for (const QUrl &url : urls) {
        const auto result = platform::Workspace::shared().showProperties(url);
        // A note on success means the desktop did something else instead (opened the folder), so the
        // properties window the user asked for did not appear.
        if (!result.succeeded || !result.message.isEmpty())
            throw Error::unknownServiceFailure(
                name, result.message.isEmpty() ? std::nullopt : std::optional(result.message));
    }
}

} // namespace kestrova::SystemServices
