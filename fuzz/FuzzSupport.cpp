#include "FuzzSupport.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace kestrova::fuzz {

QByteArray bytes(const std::uint8_t *data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

void require(bool condition, const char *what) {
    if (condition)
        return;
    std::fprintf(stderr, "Property broken: %s\n", what);
    std::abort();
}

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "kestrova-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

} // namespace kestrova::fuzz
