// The stored JSON text of a global shortcut ("Shortkeel_" + name).
#include "FuzzSupport.h"

#include "store/Shortkeel.h"

using kestrova::Shortkeel::Shortcut;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray text = kestrova::fuzz::bytes(data, size);
    // As the shortcut library reads it (the settings hand it over as text), and in the stored-value form.
    const auto shortcut = kestrova::decodeJson<Shortcut>(QString::fromUtf8(text).toUtf8());
    (void)kestrova::decodeJsonValue<Shortcut>(std::string_view(text.constData(), size));
    if (shortcut) {
        const auto reread =
            kestrova::decodeJson<Shortcut>(kestrova::JsonText::encodeToBytes(shortcut->toJson()));
        kestrova::fuzz::require(reread == shortcut, "a written shortcut reads back unchanged");
    }
    return 0;
}
