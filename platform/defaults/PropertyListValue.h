#pragma once

#include "platform/values/Date.h"

#include <QByteArray>
#include <QString>

#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <variant>
#include <vector>

namespace kestrova::platform {

// One value of a property list: what the user-defaults suite can hold. Booleans stay distinct from
// integers, and integers from reals, so that a value reads back with the kind it was written with.
class PropertyListValue {
public:
    using Array = std::vector<PropertyListValue>;
    using Dictionary = std::map<QString, PropertyListValue>;

    // `unsignedInteger` holds only counts beyond the signed range that another program wrote.
    enum class Kind { boolean, integer, real, text, data, date, array, dictionary, unsignedInteger };

    PropertyListValue()
        : m_storage(false) {}
    PropertyListValue(bool value)
        : m_storage(value) {}
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) PropertyListValue(Integer value)
        : m_storage(static_cast<std::int64_t>(value)) {}
    PropertyListValue(double value)
        : m_storage(value) {}
    PropertyListValue(float value)
        : m_storage(static_cast<double>(value)) {}
    PropertyListValue(const QString &value)
        : m_storage(value) {}
    PropertyListValue(QString &&value)
        : m_storage(std::move(value)) {}
    explicit PropertyListValue(const char *utf8)
        : m_storage(QString::fromUtf8(utf8)) {}
    PropertyListValue(const QByteArray &value)
        : m_storage(value) {}
    PropertyListValue(Date value)
        : m_storage(value) {}
    PropertyListValue(Array value)
        : m_storage(std::move(value)) {}
    PropertyListValue(Dictionary value)
        : m_storage(std::move(value)) {}

    // An integer of the unsigned range: signed where it fits, so that equal numbers compare equal.
    static PropertyListValue unsignedInteger(std::uint64_t value) {
        PropertyListValue result;
        if (value <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            result.m_storage = std::int64_t(value);
        else
            result.m_storage = value;
        return result;
    }

    Kind kind() const { return static_cast<Kind>(m_storage.index()); }

    // The value when it is of the asked kind, else null; never converts between kinds.
    template <typename T> const T *getIf() const { return std::get_if<T>(&m_storage); }
    template <typename T> T *getIf() { return std::get_if<T>(&m_storage); }
    template <typename T> bool is() const { return std::holds_alternative<T>(m_storage); }

    bool operator==(const PropertyListValue &other) const = default;

    // A short, one-line description for logs and debug views.
    QString debugDescription() const;

private:
    std::variant<bool, std::int64_t, double, QString, QByteArray, Date, Array, Dictionary, std::uint64_t>
        m_storage;
};

} // namespace kestrova::platform
