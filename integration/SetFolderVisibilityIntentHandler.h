#pragma once

#include "Folder_.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <variant>

namespace kestrova {

// Why a visibility request was refused. Nothing was stored.
struct IntentError {
    enum class Kind {
        invalidArguments, // malformed or too many identifiers, parameters of another name or type
        unknownFolder,    // a well-formed identifier of no stored folder
        failed,           // the settings could not be written
    };
    Kind kind;
    QString message;
};

// Shows or hides the chosen folders, and the others as asked, stores the list, writes the settings to disk
// and then asks for the relaunch that rebuilds the status items from it. Callers are untrusted: every
// identifier must be a well-formed id of a stored folder, given once; otherwise nothing is stored. Main
// thread.
class SetFolderVisibilityIntentHandler {
public:
    // More identifiers than any list of folders a person keeps in the status area.
    static constexpr std::size_t kMostFolders = 1000;

    // `scheduleRelaunch` runs once the new list is on disk.
    explicit SetFolderVisibilityIntentHandler(std::function<void()> scheduleRelaunch)
        : m_scheduleRelaunch(std::move(scheduleRelaunch)) {}

    // Without a `folder` member nothing is stored and nothing relaunched. Absent flags: isVisible true,
    // showOtherFolders and hideOtherFolders false.
    std::variant<SetFolderVisibilityIntentResponse, IntentError>
    handleSetFolderVisibility(const SetFolderVisibilityIntent &intent) const;

private:
    std::function<void()> m_scheduleRelaunch;
};

// True for the 8-4-4-4-12 hexadecimal form in either case, without braces.
bool isUuidText(const QString &text);

} // namespace kestrova
