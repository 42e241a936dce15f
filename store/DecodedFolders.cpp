#include "DecodedFolders.h"

#include "DefaultsKeys.h"

namespace kestrova {

namespace {

std::optional<platform::PropertyListValue> storedList() {
    const auto &key = Defaults::Keys::folders();
    return key.suite()->object(key.name());
}

} // namespace

std::vector<Folder> DecodedFolders::decode(const std::optional<platform::PropertyListValue> &stored) {
    // What Defaults::get answers for the same stored value: the key's default when nothing usable is there.
    auto folders = Folder::decodeFolderList(stored);
    return folders ? std::move(*folders) : Defaults::Keys::folders().defaultValue();
}

DecodedFolders DecodedFolders::read() {
    DecodedFolders decoded;
    decoded.m_stored = storedList();
    decoded.m_folders = decode(decoded.m_stored);
    return decoded;
}

std::vector<Folder> DecodedFolders::take() && {
    // Comparing the stored texts costs a small part of decoding them again.
    auto stored = storedList();
    if (stored != m_stored)
        return decode(stored);
    return std::move(m_folders);
}

} // namespace kestrova
