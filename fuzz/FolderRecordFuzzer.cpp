// The JSON text of one stored folder, and the stored list of them.
#include "FuzzSupport.h"

#include "platform/defaults/PropertyListValue.h"
#include "store/Folder.h"

using kestrova::Folder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    kestrova::fuzz::ensureApplication();
    const QByteArray text = kestrova::fuzz::bytes(data, size);
    const auto folder = kestrova::decodeJsonValue<Folder>(std::string_view(text.constData(), size));
    if (folder) {
        // A folder that was read is written back as it is whenever the list is next stored.
        std::string written;
        try {
            written = kestrova::encodeJsonValue(*folder);
        } catch (const kestrova::JsonEncodingError &) {
            kestrova::fuzz::require(false, "a folder that was read can be written");
        }
        const auto reread = kestrova::decodeJsonValue<Folder>(written);
        kestrova::fuzz::require(reread.has_value(), "a written folder reads back");
        // The first write may renew a bookmark whose folder came back on another device; from then on the
        // record is written as it was read, and it still names the same folder.
        kestrova::fuzz::require(kestrova::encodeJsonValue(*reread) == written,
                                "a written folder reads back unchanged");
        kestrova::fuzz::require(reread->urlBookmark.originalURL() == folder->urlBookmark.originalURL(),
                                "a written folder keeps its place");
    }
    // The same text as one entry of the stored list, beside a second copy of itself.
    const QString entry = QString::fromUtf8(text);
    (void)Folder::decodeFolderList(
        kestrova::platform::PropertyListValue(kestrova::platform::PropertyListValue::Array{
            kestrova::platform::PropertyListValue(entry), kestrova::platform::PropertyListValue(entry)}));
    return 0;
}
