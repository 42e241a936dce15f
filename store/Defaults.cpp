#include "Defaults.h"

#include <QStringList>

namespace kestrova::Defaults {

void reset(const std::vector<std::reference_wrapper<const AnyKey>> &keys) {
    for (const AnyKey &key : keys)
        key.reset();
}

void reset(const QStringList &names, UserDefaults &suite) {
    for (const QString &name : names)
        suite.removeObject(name);
}

} // namespace kestrova::Defaults
