#pragma once

#include <functional>
#include <typeindex>
#include <typeinfo>

namespace kestrova {

// A type used as a set member or map key: two are equal when they name the very same type.
struct HashableType {
    std::type_index base;

    template <typename Type> static HashableType of() { return HashableType{std::type_index(typeid(Type))}; }

    friend bool operator==(const HashableType &, const HashableType &) = default;
};

} // namespace kestrova

template <> struct std::hash<kestrova::HashableType> {
    std::size_t operator()(const kestrova::HashableType &type) const { return type.base.hash_code(); }
};
