// The reader of the settings file: any bytes at all, as a damaged or hostile file would hold them.
#include "FuzzSupport.h"

#include "platform/defaults/PropertyListSerialization.h"

using kestrova::platform::PropertyListSerialization::fromXml;
using kestrova::platform::PropertyListSerialization::toXml;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto value = fromXml(kestrova::fuzz::bytes(data, size));
    if (!value)
        return 0;
    // What was read is written again at the next write; that text must read back, and from then on the
    // value stays as it is through every later write. (The first write may rewrite what XML cannot hold,
    // such as control characters in keys.)
    const auto reread = fromXml(toXml(*value));
    kestrova::fuzz::require(reread.has_value(), "a written property list reads back");
    const auto again = fromXml(toXml(*reread));
    kestrova::fuzz::require(again == reread, "a value that was written once reads back unchanged");
    return 0;
}
