#pragma once

#include "foundation/values/HashCombine.h"
#include "foundation/json/JsonCoding.h"

#include <concepts>

namespace kestrova {

// A pair that can be compared, hashed and stored. Its JSON form is fixed: {"first":…,"second":…}; reading
// needs both members and looks at no other.
template <typename First, typename Second> struct Tuple2 {
    First first;
    Second second;

    friend bool operator==(const Tuple2 &lhs, const Tuple2 &rhs) requires std::equality_comparable<First> &&
        std::equality_comparable<Second> {
        return lhs.first == rhs.first && lhs.second == rhs.second;
    }

    Json toJson() const {
        Json object = Json::object();
        object["first"] = JsonCoding<First>::encode(first);
        object["second"] = JsonCoding<Second>::encode(second);
        return object;
    }

    // Throws DecodingError (a missing member is key-not-found) or the components' own errors.
    static Tuple2 fromJson(const Json &json) {
        const Json &firstJson = requiredMember(json, "first");
        const Json &secondJson = requiredMember(json, "second");
        return Tuple2{JsonCoding<First>::decode(firstJson), JsonCoding<Second>::decode(secondJson)};
    }
};

} // namespace kestrova

template <typename First, typename Second>
requires kestrova::Hashable<First> && kestrova::Hashable<Second>
struct std::hash<kestrova::Tuple2<First, Second>> {
    std::size_t operator()(const kestrova::Tuple2<First, Second> &tuple) const {
        std::size_t seed = 0;
        kestrova::hashCombine(seed, tuple.first);
        kestrova::hashCombine(seed, tuple.second);
        return seed;
    }
};

template <typename First, typename Second> struct nlohmann::adl_serializer<kestrova::Tuple2<First, Second>> {
    static void to_json(kestrova::Json &json, const kestrova::Tuple2<First, Second> &tuple) {
        json = tuple.toJson();
    }
    static kestrova::Tuple2<First, Second> from_json(const kestrova::Json &json) {
        return kestrova::Tuple2<First, Second>::fromJson(json);
    }
};
