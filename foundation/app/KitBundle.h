#pragma once

#include <QString>

namespace kestrova {

// The place that holds the kit's code: the folder of the running executable, which the kit is linked into.
// Found once, on first use, and then the same for the life of the process; safe to read from any thread.
class KitBundle {
public:
    static const QString &path();
};

} // namespace kestrova
