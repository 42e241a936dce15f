#pragma once

// How the kit's own value kinds are kept in the settings: by their raw text, through the store's raw-value
// bridge, so that the kit itself needs nothing of the store.
#include "RawTextEnum.h"

#include "foundation/values/SystemSounds.h"

namespace kestrova {

template <> struct RawTextCases<MacSystemSound> { static constexpr auto cases = macSystemSoundCases; };

namespace Defaults {
template <> struct Serializable<NLLanguage> : RawRepresentableSerializable<NLLanguage> {};
} // namespace Defaults

} // namespace kestrova
