#pragma once

#include "PropertyListValue.h"

#include <QByteArray>

#include <optional>

namespace kestrova::platform {

// Reading and writing XML property lists. The only place that talks to the property-list library, whose
// integer and date interfaces changed between versions.
namespace PropertyListSerialization {

// The root value of an XML property list; nothing when the text is not a readable property list.
std::optional<PropertyListValue> fromXml(const QByteArray &xml);

QByteArray toXml(const PropertyListValue &root);

} // namespace PropertyListSerialization

} // namespace kestrova::platform
