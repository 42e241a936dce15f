#include "DefaultsDebugDump.h"

#include "foundation/text/Formatters.h"
#include "platform/defaults/UserDefaults.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrova::DefaultsDebugDump {

using platform::PropertyListValue;

PropertyListValue::Dictionary removingSystemKeys(PropertyListValue::Dictionary values) {
    std::erase_if(values, [](const auto &entry) {
        const QString &key = entry.first;
        return key.startsWith(QLatin1String("NS")) || key.startsWith(QLatin1String("ILMedia")) ||
               key.startsWith(QLatin1String("MSAppCenter"));
    });
    return values;
}

PropertyListValue::Dictionary removingKeys(PropertyListValue::Dictionary values, const QStringList &keys) {
    for (const QString &key : keys)
        values.erase(key);
    return values;
}

PropertyListValue displayValue(const PropertyListValue &value) {
    if (const auto *data = value.getIf<QByteArray>()) {
        ByteCountFormatOptions options;
        options.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        return PropertyListValue(QStringLiteral("<Data: %1>").arg(formattedByteCount(data->size(), options)));
    }
    if (const auto *real = value.getIf<double>()) {
        const double whole = std::trunc(*real);
        constexpr double kLargest = double(std::numeric_limits<std::int64_t>::max());
        if (std::isfinite(*real) && whole == *real && std::abs(whole) < kLargest)
            return PropertyListValue(static_cast<std::int64_t>(whole));
        if (!std::isfinite(*real))
            return value;
        // std::round rounds halves away from zero.
        return PropertyListValue(std::round(*real * 100.0) / 100.0);
    }
    return value;
}

QString description(const PropertyListValue &value) {
    if (const auto *text = value.getIf<QString>())
        return *text;
    return value.debugDescription();
}

Entries debugDump(const platform::UserDefaults &suite) {
    return debugDump(suite.persistentDomain());
}

Entries debugDump(const PropertyListValue::Dictionary &persistentDomain) {
    const auto filtered = removingKeys(removingSystemKeys(persistentDomain),
                                       {QStringLiteral("SessionIdHistory"), QStringLiteral("UserIdHistory"),
                                        QStringLiteral("pastDevicesKey")});
    Entries entries;
    entries.reserve(filtered.size());
    for (const auto &[key, value] : filtered)
        entries.emplace_back(key, displayValue(value));
    // Code-point order of the canonical form; for the plain keys settings hold, the order of their bytes.
    std::ranges::sort(entries, [](const Entry &lhs, const Entry &rhs) {
        return lhs.first.normalized(QString::NormalizationForm_C).toUcs4() <
               rhs.first.normalized(QString::NormalizationForm_C).toUcs4();
    });
    const auto isPriority = [](const Entry &entry) {
        return entry.first.startsWith(QLatin1String("Kv_")) || entry.first.startsWith(QLatin1String("__"));
    };
    std::stable_partition(entries.begin(), entries.end(), isPriority);
    return entries;
}

QString formattedKeyValueLines(const Entries &entries) {
    std::vector<std::pair<QString, QString>> lines;
    lines.reserve(entries.size());
    for (const auto &[key, value] : entries)
        lines.emplace_back(key, description(value));
    return formattedKeyValueLines(lines);
}

QString formattedKeyValueLines(const std::vector<std::pair<QString, QString>> &lines) {
    QStringList text;
    for (const auto &[key, value] : lines)
        text << key + QStringLiteral(": ") + value;
    return text.join(QLatin1Char('\n'));
}

} // namespace kestrova::DefaultsDebugDump
