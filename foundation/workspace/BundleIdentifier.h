#pragma once

#include "foundation/values/RawRepresentable.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace kestrova {

// A reverse-DNS application identifier. It is stored as given: nothing about it is checked.
class BundleIdentifier {
public:
    using RawValue = QString;

    explicit BundleIdentifier(QString rawValue)
        : m_rawValue(std::move(rawValue)) {}
    static std::optional<BundleIdentifier> fromRawValue(const QString &rawValue) {
        return BundleIdentifier(rawValue);
    }

    const QString &rawValue() const { return m_rawValue; }
    const QString &id() const { return m_rawValue; }

private:
    QString m_rawValue;
};

// Where the application for an identifier is looked up first: when set, the application look-up asks it
// instead of the installed applications. Empty at start; setting an empty function clears it. Safe to use
// from any thread.
using ApplicationURLOverride = std::function<std::optional<QUrl>(const BundleIdentifier &)>;
void setApplicationURLOverride(ApplicationURLOverride lookup);
ApplicationURLOverride applicationURLOverride();

} // namespace kestrova

template <> struct nlohmann::adl_serializer<kestrova::BundleIdentifier> {
    static kestrova::BundleIdentifier from_json(const json &stored) {
        return kestrova::rawValueFromJson<kestrova::BundleIdentifier>(stored);
    }
    static void to_json(json &stored, const kestrova::BundleIdentifier &identifier) {
        kestrova::rawValueToJson(stored, identifier);
    }
};

template <>
struct std::hash<kestrova::BundleIdentifier> : kestrova::RawValueHash<kestrova::BundleIdentifier> {};
