#include "SetFolderVisibilityIntentHandler.h"

#include "platform/defaults/UserDefaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/utilities/ApplicationUtilities.h"

#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <set>

namespace kestrova {
namespace {

// A caller's text, short enough to quote in a message.
QString quoted(const QString &text) {
    constexpr qsizetype kLongestQuote = 64;
    return u'“' + (text.size() > kLongestQuote ? text.left(kLongestQuote) + u'…' : text) + u'”';
}

IntentError invalid(const QString &message) {
    return {IntentError::Kind::invalidArguments, message};
}

} // namespace

bool isUuidText(const QString &text) {
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return form.match(text).hasMatch();
}

std::variant<SetFolderVisibilityIntentResponse, IntentError>
SetFolderVisibilityIntentHandler::handleSetFolderVisibility(const SetFolderVisibilityIntent &intent) const {
    const SetFolderVisibilityIntentResponse response{SetFolderVisibilityIntentResponseCode::success};
    if (!intent.folder)
        return response;
    const std::vector<QString> &identifiers = *intent.folder;
    // An empty list is no mistake: with "showOtherFolders" or "hideOtherFolders" it shows or hides every
    // folder, and without either it changes nothing.
    if (identifiers.size() > kMostFolders)
        return invalid(QStringLiteral("More than %1 folders were given.").arg(kMostFolders));

    const std::vector<Folder> folders = Defaults::get(Defaults::Keys::folders());
    std::vector<QUuid> ids;
    std::set<QUuid> seen;
    for (const QString &identifier : identifiers) {
        if (!isUuidText(identifier))
            return invalid(QStringLiteral("%1 is not a folder identifier.").arg(quoted(identifier)));
        const QUuid id = QUuid::fromString(identifier);
        // A folder named twice is chosen once.
        if (!seen.insert(id).second)
            continue;
        if (std::none_of(folders.begin(), folders.end(),
                         [&](const Folder &folder) { return folder.id == id; }))
            return IntentError{IntentError::Kind::unknownFolder,
                               QStringLiteral("There is no folder %1.").arg(quoted(identifier))};
        ids.push_back(id);
    }

    const auto &key = Defaults::Keys::folders();
    Defaults::set(key, settingVisibility(folders, intent.isVisible.value_or(true), ids,
                                         intent.showOtherFolders.value_or(false),
                                         intent.hideOtherFolders.value_or(false)));
    // The new instance reads the list from disk: without it there, relaunching would lose the change.
    if (!key.suite()->synchronize()) {
        Defaults::set(key, folders);
        return IntentError{IntentError::Kind::failed, QStringLiteral("The settings could not be written.")};
    }
    if (m_scheduleRelaunch)
        m_scheduleRelaunch();
    return response;
}

} // namespace kestrova
