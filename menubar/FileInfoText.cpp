#include "FileInfoText.h"

#include "foundation/text/Formatters.h"
#include "foundation/text/TextFormatting.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace kestrova {
namespace {

const QString kMissingDate = QStringLiteral("—");

// Halves away from zero, as the file system's sub-second times are compared.
std::optional<double> wholeSeconds(const std::optional<platform::Date> &date) {
    if (!date)
        return std::nullopt;
    return std::round(date->timeIntervalSinceReferenceDate());
}

} // namespace

QString fileInfo1Text(const FileFacts &facts, const QLocale &locale) {
    QStringList parts;
    if (facts.kindDescription)
        parts << *facts.kindDescription;
    ByteCountFormatOptions options;
    options.locale = locale;
    parts << formattedByteCount(facts.fileSize.value_or(0), options);
    if (facts.dimensions)
        parts << formattedDimensions(QSizeF(*facts.dimensions));
    return parts.join(QStringLiteral("  —  "));
}

std::vector<FileInfo2Row> fileInfo2Rows(const FileFacts &facts, const QLocale &locale) {
    const auto text = [&locale](const std::optional<platform::Date> &date) {
        return date ? formattedFileDate(*date, locale) : kMissingDate;
    };
    const auto modified = wholeSeconds(facts.modificationDate);
    const bool neverModified = modified == wholeSeconds(facts.creationDate);
    return {
        {QStringLiteral("Opened"), text(facts.accessDate)},
        {QStringLiteral("Added"), text(facts.addedDate)},
        {QStringLiteral("Modified"), neverModified ? QStringLiteral("Never") : text(facts.modificationDate)},
        {QStringLiteral("Created"), text(facts.creationDate)},
    };
}

QStringList fileInfo2Lines(const FileFacts &facts, const QLocale &locale) {
    QStringList lines;
    for (const FileInfo2Row &row : fileInfo2Rows(facts, locale))
        lines << row.label + QStringLiteral(": ") + row.value;
    return lines;
}

QString formattedFileDate(platform::Date date, const QLocale &locale) {
    // One formatter per locale for the life of the process; ICU formatters are not safe to share between
    // threads, so uses are serialised.
    static std::mutex mutex;
    static std::map<QString, std::unique_ptr<icu::DateFormat>> formatters;
    const std::lock_guard lock(mutex);
    auto &formatter = formatters[locale.name()];
    if (!formatter) {
        const icu::Locale icuLocale(locale.name().toUtf8().constData());
        formatter.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kLongRelative,
                                                                icu::DateFormat::kShort, icuLocale));
        if (!formatter)
            return locale.toString(date.toDateTime(), QLocale::LongFormat);
        UErrorCode status = U_ZERO_ERROR;
        formatter->setContext(UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
    }
    icu::UnicodeString text;
    formatter->format(date.timeIntervalSince1970() * 1000.0, text);
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

} // namespace kestrova
