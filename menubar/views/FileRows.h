#pragma once

#include "platform/observation/Binding.h"

#include <memory>
#include <optional>

namespace kestrova {

class FileDetails;
namespace platform {
class MenuItem;
}

// The hosted rows of a file's submenu, each filled from `details` when its facts arrive. `isMenuOpen` is
// set to false when the file is dragged out of the menu.
void setPreviewRowView(platform::MenuItem &item, std::shared_ptr<FileDetails> details,
                       std::optional<platform::Binding<bool>> isMenuOpen);
void setFileInfo1View(platform::MenuItem &item, std::shared_ptr<FileDetails> details);
void setFileInfo2View(platform::MenuItem &item, std::shared_ptr<FileDetails> details);

} // namespace kestrova
