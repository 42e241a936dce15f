#include "SortOrderComparator.h"

#include "AccessRequest_p.h"

#include "foundation/files/ResourceValues.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstring>

namespace kestrova {

namespace {

std::unique_ptr<icu::Collator> makeNaturalOrderCollator() {
    UErrorCode status = U_ZERO_ERROR;
    // The C locale's collation is code-point order, upper case first: no natural order at all.
    const icu::Locale &locale = icu::Locale::getDefault();
    const bool isPosix =
        std::strcmp(locale.getName(), "en_US_POSIX") == 0 || std::strlen(locale.getLanguage()) == 0;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(isPosix ? icu::Locale::getRoot() : locale, status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (!collator)
        return nullptr;
    status = U_ZERO_ERROR;
    collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    // Secondary strength tells accents apart but not letter case.
    collator->setAttribute(UCOL_STRENGTH, UCOL_SECONDARY, status);
    return collator;
}

std::optional<platform::Date> entryDate(Folder::SortOrder order, const QUrl &url) {
    switch (order) {
    case Folder::SortOrder::dateAdded:
        return url::addedToDirectoryDate(url);
    case Folder::SortOrder::dateModified:
        return url::contentModificationDate(url);
    case Folder::SortOrder::dateCreated:
        return url::creationDate(url);
    case Folder::SortOrder::dateAccessed:
        return url::contentAccessDate(url);
    default:
        return std::nullopt;
    }
}

} // namespace

SortOrderComparator::SortOrderComparator(Folder::SortOrder order)
    : m_order(order)
    , m_collator(makeNaturalOrderCollator()) {}

SortOrderComparator::~SortOrderComparator() = default;
SortOrderComparator::SortOrderComparator(SortOrderComparator &&) noexcept = default;
SortOrderComparator &SortOrderComparator::operator=(SortOrderComparator &&) noexcept = default;

QByteArray SortOrderComparator::collationKey(const QString &text) const {
    if (!m_collator)
        return text.toCaseFolded().toUtf8();
    const icu::UnicodeString unicode(reinterpret_cast<const char16_t *>(text.utf16()), int32_t(text.size()));
    QByteArray key(64, Qt::Uninitialized);
    int32_t length =
        m_collator->getSortKey(unicode, reinterpret_cast<uint8_t *>(key.data()), int32_t(key.size()));
    if (length > key.size()) {
        key.resize(length);
        length =
            m_collator->getSortKey(unicode, reinterpret_cast<uint8_t *>(key.data()), int32_t(key.size()));
    }
    key.resize(length);
    return key;
}

int SortOrderComparator::writeCollationKey(QStringView text, unsigned char *into, int capacity) const {
    if (!m_collator)
        return -1;
    return m_collator->getSortKey(reinterpret_cast<const char16_t *>(text.utf16()), int32_t(text.size()),
                                  into, capacity);
}

SortOrderComparator::Key SortOrderComparator::key(const QUrl &url) const {
    switch (m_order) {
    case Folder::SortOrder::name:
        return {collationKey(accessrequest::lastPathComponent(url)), std::nullopt};
    case Folder::SortOrder::kind:
        if (const auto type = url::contentType(url))
            return {collationKey(*type), std::nullopt};
        return {};
    case Folder::SortOrder::tags:
        return {collationKey(url::tagNames(url).join(QLatin1Char(','))), std::nullopt};
    default:
        if (const auto date = entryDate(m_order, url))
            return {std::nullopt, date->timeIntervalSinceReferenceDate()};
        return {};
    }
}

bool SortOrderComparator::lessThan(const Key &lhs, const Key &rhs) const {
    switch (m_order) {
    case Folder::SortOrder::name:
    case Folder::SortOrder::kind:
    case Folder::SortOrder::tags:
        // Ascending; a missing text first. The keys are compared as unsigned bytes, as collation keys are.
        if (!rhs.collationKey)
            return false;
        if (!lhs.collationKey)
            return true;
        return std::lexicographical_compare(
            lhs.collationKey->begin(), lhs.collationKey->end(), rhs.collationKey->begin(),
            rhs.collationKey->end(),
            [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
    default:
        // Newest first; a missing date last.
        if (!lhs.date)
            return false;
        if (!rhs.date)
            return true;
        return *lhs.date > *rhs.date;
    }
}

} // namespace kestrova
