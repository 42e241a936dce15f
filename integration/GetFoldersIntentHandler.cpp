#include "GetFoldersIntentHandler.h"

#include "store/DefaultsKeys.h"

namespace kestrova {

GetFoldersIntentResponse GetFoldersIntentHandler::handleGetFolders() const {
    return {GetFoldersIntentResponseCode::success, provideFolderOptions()};
}

std::vector<Folder_> GetFoldersIntentHandler::provideFolderOptions() const {
    return convertedFolders(Defaults::get(Defaults::Keys::folders()));
}

} // namespace kestrova
