#include "RunOnce.h"

namespace kestrova::KvApp {

bool runOnce(const QString &identifier) {
    return runOnce(identifier, *platform::UserDefaults::standard());
}

bool runOnce(const QString &identifier, platform::UserDefaults &suite) {
    const QString key = QStringLiteral("Kv_App_runOnce__") + identifier;
    if (const auto stored = suite.object(key)) {
        // Read as a Boolean would be: a stored number counts when it is not zero.
        if (const bool *flag = stored->getIf<bool>(); flag && *flag)
            return false;
        if (const auto *number = stored->getIf<std::int64_t>(); number && *number != 0)
            return false;
    }
    suite.setObject(platform::PropertyListValue(true), key);
    return true;
}

} // namespace kestrova::KvApp
