#pragma once

#include "platform/defaults/UserDefaults.h"

#include <QString>

namespace kestrova::KvApp {

// True only the first time it is asked for `identifier`, across launches: the flag is kept under
// "Kv_App_runOnce__" + identifier in the standard settings (or in `suite`).
bool runOnce(const QString &identifier);
bool runOnce(const QString &identifier, platform::UserDefaults &suite);

} // namespace kestrova::KvApp
