#pragma once

#include "Folder.h"

#include <QByteArray>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace kestrova {

// Orders the entries of a folder listing by a folder's sort order: names, kinds (MIME type names) and tags
// (joined with ",") ascending in the file manager's natural order (numbers by value, letter case ignored,
// the user's locale); the four dates newest first. A missing kind sorts before every kind; a missing date
// after every date. Linux keeps no "date added", so the status-change time stands in for it.
//
// `sort` reads each entry's key from the file system once and then sorts stably, so a folder that changes
// during the sort cannot upset the order, and entries with equal keys keep their listing order. One object
// per thread.
class SortOrderComparator {
public:
    explicit SortOrderComparator(Folder::SortOrder order);
    ~SortOrderComparator();
    SortOrderComparator(SortOrderComparator &&) noexcept;
    SortOrderComparator &operator=(SortOrderComparator &&) noexcept;

    Folder::SortOrder sortOrder() const { return m_order; }

    // One entry's sort key, read from the file system now.
    struct Key {
        std::optional<QByteArray> collationKey;
        std::optional<double> date;
    };
    Key key(const QUrl &url) const;
    bool lessThan(const Key &lhs, const Key &rhs) const;

    // Compares two entries, reading both keys now; for one-off comparisons, not for sorting.
    bool operator()(const QUrl &lhs, const QUrl &rhs) const { return lessThan(key(lhs), key(rhs)); }

    void sort(std::vector<QUrl> &urls) const {
        sort(urls, [](const QUrl &url) -> const QUrl & { return url; });
    }
    // Sorts any entries that carry a URL; `urlOf` gives an entry's URL.
    template <typename Entry, typename UrlOf> void sort(std::vector<Entry> &entries, UrlOf urlOf) const {
        std::vector<Key> keys;
        keys.reserve(entries.size());
        for (const Entry &entry : entries)
            keys.push_back(key(urlOf(entry)));
        std::vector<std::size_t> order(entries.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t lhs, std::size_t rhs) { return lessThan(keys[lhs], keys[rhs]); });
        std::vector<Entry> sorted;
        sorted.reserve(entries.size());
        for (const std::size_t index : order)
            sorted.push_back(std::move(entries[index]));
        entries = std::move(sorted);
    }

    // The collation key of a text in the natural order described above.
    QByteArray collationKey(const QString &text) const;
    // The same key written into `into`, which holds `capacity` bytes; returns its length, which is more
    // than `capacity` when it did not fit, and -1 when this comparator makes its keys otherwise (use
    // collationKey then). Makes no text of its own, for threads that should not allocate.
    int writeCollationKey(QStringView text, unsigned char *into, int capacity) const;

private:
    Folder::SortOrder m_order;
    std::unique_ptr<icu::Collator> m_collator;
};

} // namespace kestrova
