#pragma once

#include "platform/Pasteboard.h"

#include <QUrl>

#include <utility>
#include <vector>

namespace kestrova {

// Writes a URL into a clipboard item: "text/uri-list" holds the encoded URL; the plain text holds a file's
// path, a mail link's bare address, or the URL itself. False when a write failed.
bool setURL(platform::PasteboardItem &item, const QUrl &url);

// Copies the URLs as one item, with the source marker naming this application.
bool writeURLs(platform::Pasteboard &pasteboard, const std::vector<QUrl> &urls);

// Each name and value percent-encoded for a web-form query; a pair that cannot be encoded is left out.
std::vector<std::pair<QString, QString>>
percentEncodedQueryItems(const std::vector<std::pair<QString, QString>> &items);

} // namespace kestrova
