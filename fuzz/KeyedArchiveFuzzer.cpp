// The archived colours and images inside stored records.
#include "FuzzSupport.h"

#include "platform/defaults/KeyedArchive.h"

using kestrova::platform::KeyedArchive;

namespace {

// A value comes with no failure and a failure with no value; a value that was read archives and reads back
// unchanged.
template <typename Unarchive> void checkClass(const QByteArray &archive, Unarchive unarchive) {
    const auto result = unarchive(archive);
    kestrova::fuzz::require(result.value.has_value() == (result.failure == KeyedArchive::Failure::none),
                            "an archive gives either a value or a failure");
    if (result.value)
        kestrova::fuzz::require(unarchive(KeyedArchive::archive(*result.value)).value == result.value,
                                "an archived value reads back unchanged");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    kestrova::fuzz::ensureApplication();
    const QByteArray archive = kestrova::fuzz::bytes(data, size);
    (void)KeyedArchive::className(archive);
    checkClass(archive, &KeyedArchive::unarchiveColor);
    checkClass(archive, &KeyedArchive::unarchiveImage);
    return 0;
}
