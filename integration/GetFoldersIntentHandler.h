#pragma once

#include "Folder_.h"

#include <vector>

namespace kestrova {

// Lists every stored folder, hidden ones too, in stored order. Changes nothing; main thread.
class GetFoldersIntentHandler {
public:
    GetFoldersIntentResponse handleGetFolders() const;
    // The folders a caller may choose from for the visibility action: the same list.
    std::vector<Folder_> provideFolderOptions() const;
};

} // namespace kestrova
