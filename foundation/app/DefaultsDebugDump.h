#pragma once

#include "platform/defaults/PropertyListValue.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace kestrova {
namespace platform {
class UserDefaults;
}

// What the debug screens and the debug report show of a settings suite: the application's own keys with
// their values made readable, sorted so that the kit's keys come first.
namespace DefaultsDebugDump {

using Entry = std::pair<QString, platform::PropertyListValue>;
using Entries = std::vector<Entry>;

// The dictionary without the keys that begin with "NS", "ILMedia" or "MSAppCenter" (case-sensitive): keys
// that system libraries write into an application's settings on other platforms.
platform::PropertyListValue::Dictionary removingSystemKeys(platform::PropertyListValue::Dictionary values);
// The dictionary without the keys equal to one of `keys`.
platform::PropertyListValue::Dictionary removingKeys(platform::PropertyListValue::Dictionary values,
                                                     const QStringList &keys);

// A stored value as the dump shows it: data becomes the text "<Data: 20 bytes>" (file byte-count style), a
// real with a whole value becomes that integer, any other real is rounded to two places (halves away from
// zero); everything else stays as it is.
platform::PropertyListValue displayValue(const platform::PropertyListValue &value);
// The text of a shown value: text as it is, other values in their debug form (text inside lists quoted).
QString description(const platform::PropertyListValue &value);

// The suite's stored keys without the system keys and "SessionIdHistory", "UserIdHistory" and
// "pastDevicesKey", values made readable, in ascending key order (code points) with the keys that begin
// with "Kv_" or "__" moved first.
Entries debugDump(const platform::UserDefaults &suite);
// The same from a suite's stored contents.
Entries debugDump(const platform::PropertyListValue::Dictionary &persistentDomain);

// One "key: value" line per entry, joined by line feeds, no line feed at the end.
QString formattedKeyValueLines(const Entries &entries);
QString formattedKeyValueLines(const std::vector<std::pair<QString, QString>> &lines);

} // namespace DefaultsDebugDump
} // namespace kestrova
