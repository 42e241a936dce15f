#pragma once

#include "foundation/values/HashCombine.h"
#include "foundation/json/JsonCoding.h"

#include <concepts>
#include <utility>
#include <variant>

namespace kestrova {

// A value that is one of two things. Every `left` sorts before every `right`; within a side the payloads
// decide. The JSON form is fixed: {"left":{"_0":…}} or {"right":{"_0":…}}; reading needs exactly one of the
// two keys (others are ignored).
template <typename Left, typename Right> class Either {
public:
    static Either left(Left value) { return Either(std::in_place_index<0>, std::move(value)); }
    static Either right(Right value) { return Either(std::in_place_index<1>, std::move(value)); }

    bool isLeft() const { return m_storage.index() == 0; }
    bool isRight() const { return m_storage.index() == 1; }
    // The payload when the value is on that side, else null.
    const Left *leftValue() const { return std::get_if<0>(&m_storage); }
    const Right *rightValue() const { return std::get_if<1>(&m_storage); }

    friend bool
    operator==(const Either &lhs,
               const Either &rhs) requires std::equality_comparable<Left> && std::equality_comparable<Right> {
        return lhs.m_storage == rhs.m_storage;
    }
    friend bool
    operator<(const Either &lhs,
              const Either &rhs) requires std::totally_ordered<Left> && std::totally_ordered<Right> {
        return lhs.m_storage < rhs.m_storage;
    }
    friend bool
    operator>(const Either &lhs,
              const Either &rhs) requires std::totally_ordered<Left> && std::totally_ordered<Right> {
        return rhs < lhs;
    }
    friend bool
    operator<=(const Either &lhs,
               const Either &rhs) requires std::totally_ordered<Left> && std::totally_ordered<Right> {
        return !(rhs < lhs);
    }
    friend bool
    operator>=(const Either &lhs,
               const Either &rhs) requires std::totally_ordered<Left> && std::totally_ordered<Right> {
        return !(lhs < rhs);
    }

    std::size_t hash() const requires Hashable<Left> && Hashable<Right> {
        std::size_t seed = 0;
        hashCombine(seed, static_cast<unsigned>(m_storage.index()));
        if (const Left *value = leftValue())
            hashCombine(seed, *value);
        else
            hashCombine(seed, *rightValue());
        return seed;
    }

    Json toJson() const {
        Json payload = Json::object();
        Json object = Json::object();
        if (const Left *value = leftValue()) {
            payload["_0"] = JsonCoding<Left>::encode(*value);
            object["left"] = std::move(payload);
        } else {
            payload["_0"] = JsonCoding<Right>::encode(*rightValue());
            object["right"] = std::move(payload);
        }
        return object;
    }

    // Throws DecodingError: a type mismatch ("Invalid number of keys found, expected one.") unless exactly
    // one of "left" / "right" is present, key-not-found when its object lacks "_0"; or the payload's own
    // error.
    static Either fromJson(const Json &json) {
        const Json &object = requireJsonObject(json);
        const auto leftMember = object.find("left");
        const auto rightMember = object.find("right");
        const bool hasLeft = leftMember != object.end();
        const bool hasRight = rightMember != object.end();
        if (hasLeft == hasRight)
            throw DecodingError::typeMismatch({},
                                              QStringLiteral("Invalid number of keys found, expected one."));
        if (hasLeft) {
            const Json &payload = requiredMember(*leftMember, "_0", {QStringLiteral("left")});
            return left(JsonCoding<Left>::decode(payload));
        }
        const Json &payload = requiredMember(*rightMember, "_0", {QStringLiteral("right")});
        return right(JsonCoding<Right>::decode(payload));
    }

private:
    template <std::size_t Index, typename Value>
    Either(std::in_place_index_t<Index> index, Value &&value)
        : m_storage(index, std::forward<Value>(value)) {}

    std::variant<Left, Right> m_storage;
};

} // namespace kestrova

template <typename Left, typename Right>
requires kestrova::Hashable<Left> && kestrova::Hashable<Right>
struct std::hash<kestrova::Either<Left, Right>> {
    std::size_t operator()(const kestrova::Either<Left, Right> &either) const { return either.hash(); }
};

template <typename Left, typename Right> struct nlohmann::adl_serializer<kestrova::Either<Left, Right>> {
    static void to_json(kestrova::Json &json, const kestrova::Either<Left, Right> &either) {
        json = either.toJson();
    }
    static kestrova::Either<Left, Right> from_json(const kestrova::Json &json) {
        return kestrova::Either<Left, Right>::fromJson(json);
    }
};
