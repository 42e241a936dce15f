#pragma once

#include "DefaultsSerializable.h"

#include "foundation/json/JsonCoding.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QUrl>
#include <QVariantMap>
#include <QWindow>

#include <optional>

namespace kestrova {

// The bookmark of one folder the user chose (BookmarkData): the `urlBookmark` of each Folder and the value
// of the root-folder key. Stored as its raw bytes; inside a folder's JSON as one Base64 text. Equal when the
// bytes are equal. Any bytes make a bookmark: damaged data simply never resolves.
class SandboxURLBookmark {
public:
    using RawValue = QByteArray;

    SandboxURLBookmark() = default;
    explicit SandboxURLBookmark(QByteArray bookmarkData)
        : m_bookmarkData(std::move(bookmarkData)) {}

    const QByteArray &bookmarkData() const { return m_bookmarkData; }
    // What is stored: the data, made afresh when the folder came back on another device (a remount).
    QByteArray rawValue() const;
    static std::optional<SandboxURLBookmark> fromRawValue(const QByteArray &data) {
        return SandboxURLBookmark(data);
    }

    // The folder the bookmark resolves to; nothing when it is gone, unmounted, replaced by a file or in a
    // Trash. A stale bookmark (another folder at the same path) is logged and still used. Data without a URL
    // is reported as unexpected, once per process for each bookmark. Any thread.
    std::optional<QUrl> url() const;
    // The URL the bookmark was made from, read without resolving it. Any thread.
    std::optional<QUrl> originalURL() const;
    // Every property stored in the bookmark, under "NSURLBookmarkAllPropertiesKey"; empty when unreadable.
    QVariantMap allProperties() const;

    // Asks the user to choose the folder of `url` (the folder itself when `url` has a directory path),
    // again and again until the right folder is chosen or the panel is cancelled (nothing). Throws
    // kestrova::Error when no bookmark can be made of the chosen folder. Main thread.
    static QCoro::Task<std::optional<SandboxURLBookmark>> request(QUrl url, QWindow *window = nullptr);

    // Asks again for the folder of `originalURL` and replaces the data on success (true). A failure is
    // reported and shown, never thrown. Main thread; the bookmark must outlive the returned task.
    QCoro::Task<bool> requestAgain();

    // The text shown below the panel while `directoryUrl` is requested.
    static QString accessoryText(const QUrl &directoryUrl);

    Json toJson() const { return JsonCoding<QByteArray>::encode(rawValue()); }
    static SandboxURLBookmark fromJson(const Json &json) {
        return SandboxURLBookmark(JsonCoding<QByteArray>::decode(json));
    }

    bool operator==(const SandboxURLBookmark &other) const { return m_bookmarkData == other.m_bookmarkData; }

private:
    QByteArray m_bookmarkData;
};

namespace Defaults {
template <> struct Serializable<SandboxURLBookmark> : RawRepresentableSerializable<SandboxURLBookmark> {};
} // namespace Defaults

} // namespace kestrova

template <> struct std::hash<kestrova::SandboxURLBookmark> {
    std::size_t operator()(const kestrova::SandboxURLBookmark &bookmark) const {
        return qHash(bookmark.bookmarkData());
    }
};
