#pragma once

#include "Defaults.h"

#include <initializer_list>

namespace kestrova::Defaults {

// The layouts a stored entry can be migrated to. Only v5 exists: values the suite can hold directly are
// held directly, not as JSON text.
enum class Version { v5 = 5 };

inline std::optional<Version> versionFromRawValue(int rawValue) {
    return rawValue == 5 ? std::optional<Version>(Version::v5) : std::nullopt;
}

// Rewrites entries still held as JSON text in native form: for each key whose entry is text that decodes
// as a Value, the decoded value is stored through the key's normal write. Anything else (no entry, not
// text, not JSON of the kind) is left exactly as it was, so running it again changes nothing.
template <DefaultsSerializable Value> void migrate(const std::vector<const Key<Value> *> &keys, Version) {
    for (const Key<Value> *key : keys) {
        const auto text = key->suite()->string(key->name());
        if (!text)
            continue;
        const QByteArray utf8 = text->toUtf8();
        auto decoded = decodeJson<Value>(utf8);
        if (!decoded)
            continue;
        set(*key, *decoded);
    }
}

// The same for keys of a JSON-coded kind with a native counterpart: the decoded value is converted with
// its `toNativeForm()` and stored natively under the key's name.
template <typename Codable>
requires requires(const Codable &value) {
    value.toNativeForm();
}
void migrateCodable(const std::vector<const Key<Codable> *> &keys, Version) {
    for (const Key<Codable> *key : keys) {
        const auto text = key->suite()->string(key->name());
        if (!text)
            continue;
        auto decoded = decodeJson<Codable>(text->toUtf8());
        if (!decoded)
            continue;
        setValue(*key->suite(), decoded->toNativeForm(), key->name());
    }
}

} // namespace kestrova::Defaults
