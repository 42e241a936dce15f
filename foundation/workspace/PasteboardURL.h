#pragma once

#include "platform/workspace/Pasteboard.h"

#include <QUrl>

#include <utility>
#include <vector>

namespace kestrova {

// Writes a URL into a clipboard item: "text/uri-list" holds the encoded URL; the plain text holds a file's
// path (as setFilePath writes it), a mail link's bare address, or the URL itself. False when a write
// failed.
bool setURL(platform::PasteboardItem &item, const QUrl &url);

// Writes the path of a file URL as plain text exactly as it is on disk, without a trailing slash: UTF-8
// text where the name is valid UTF-8, else the bytes themselves as "text/plain" (a name of other bytes has
// no text form that would still name the file). False for another URL or when the write failed.
bool setFilePath(platform::PasteboardItem &item, const QUrl &fileUrl);

// Copies the URLs as one item, with the source marker naming this application.
bool writeURLs(platform::Pasteboard &pasteboard, const std::vector<QUrl> &urls);

// Each name and value percent-encoded for a web-form query; a pair that cannot be encoded is left out.
std::vector<std::pair<QString, QString>>
percentEncodedQueryItems(const std::vector<std::pair<QString, QString>> &items);

} // namespace kestrova
