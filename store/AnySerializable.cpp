#include "AnySerializable.h"

#include <QHash>

#include <bit>
#include <cstring>

namespace kestrova::Defaults {
namespace {

std::size_t mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t hashOf(const PropertyListValue &value) {
    const auto kindSeed = static_cast<std::size_t>(value.kind()) * 0x100000001b3ULL;
    switch (value.kind()) {
    case PropertyListValue::Kind::boolean:
        return mix(kindSeed, *value.getIf<bool>() ? 1 : 0);
    case PropertyListValue::Kind::integer:
        return mix(kindSeed, static_cast<std::size_t>(*value.getIf<std::int64_t>()));
    case PropertyListValue::Kind::unsignedInteger:
        return mix(kindSeed, static_cast<std::size_t>(*value.getIf<std::uint64_t>()));
    case PropertyListValue::Kind::real: {
        // Positive and negative zero are equal, so they must hash alike.
        const double real = *value.getIf<double>() == 0.0 ? 0.0 : *value.getIf<double>();
        return mix(kindSeed, std::bit_cast<std::uint64_t>(real));
    }
    case PropertyListValue::Kind::text:
        return mix(kindSeed, qHash(*value.getIf<QString>()));
    case PropertyListValue::Kind::data:
        return mix(kindSeed, qHash(*value.getIf<QByteArray>()));
    case PropertyListValue::Kind::date:
        return mix(kindSeed, std::bit_cast<std::uint64_t>(
                                 value.getIf<platform::Date>()->timeIntervalSinceReferenceDate()));
    case PropertyListValue::Kind::array: {
        const auto &array = *value.getIf<PropertyListValue::Array>();
        std::size_t seed = mix(kindSeed, array.size());
        for (const auto &element : array)
            seed = mix(seed, hashOf(element));
        return seed;
    }
    case PropertyListValue::Kind::dictionary: {
        // Exclusive-or of the entries' hashes, so that no entry order can change the result.
        std::size_t combined = 0;
        for (const auto &[key, element] : *value.getIf<PropertyListValue::Dictionary>())
            combined ^= mix(qHash(key), hashOf(element));
        return mix(kindSeed, combined);
    }
    }
    return kindSeed;
}

} // namespace

AnySerializable AnySerializable::array(std::initializer_list<AnySerializable> elements) {
    PropertyListValue::Array array;
    for (const auto &element : elements)
        if (element.m_value)
            array.push_back(*element.m_value);
    return AnySerializable(PropertyListValue(std::move(array)));
}

AnySerializable
AnySerializable::dictionary(std::initializer_list<std::pair<const QString, AnySerializable>> entries) {
    PropertyListValue::Dictionary dictionary;
    for (const auto &[key, element] : entries)
        if (element.m_value)
            dictionary.insert_or_assign(key, *element.m_value);
    return AnySerializable(PropertyListValue(std::move(dictionary)));
}

std::size_t AnySerializable::hash() const {
    return m_value ? hashOf(*m_value) : 0;
}

} // namespace kestrova::Defaults
