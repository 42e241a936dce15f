#pragma once

#include <QtGlobal>

#include <functional>

namespace kestrova {

// A process identifier as a value of its own, so that it cannot be mixed up with other integers.
struct KvProcessID {
    qint32 rawValue = 0;

    friend bool operator==(const KvProcessID &, const KvProcessID &) = default;
};

} // namespace kestrova

template <> struct std::hash<kestrova::KvProcessID> {
    std::size_t operator()(const kestrova::KvProcessID &id) const {
        return std::hash<quint32>{}(static_cast<quint32>(id.rawValue));
    }
};
