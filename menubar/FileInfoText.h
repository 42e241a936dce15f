#pragma once

#include "FileDetails.h"

#include "platform/values/Date.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrova {

// The text of the first information row: the kind, the size and the pixel size, the parts that are known
// joined with "  —  ". An absent size counts as zero, spelled out as the file-size format does.
QString fileInfo1Text(const FileFacts &facts, const QLocale &locale = QLocale());

struct FileInfo2Row {
    QString label; // "Opened", "Added", "Modified" or "Created"
    QString value;
    bool operator==(const FileInfo2Row &) const = default;
};

// The date rows in order. "Modified" says "Never" when the modification and creation dates are equal to
// the second, or both unknown. A date the file system does not know shows "—" (never the current time,
// which would claim a change that did not happen).
std::vector<FileInfo2Row> fileInfo2Rows(const FileFacts &facts, const QLocale &locale = QLocale());
// The date rows as lines of text, for menus that cannot line the labels up ("Modified: Never").
QStringList fileInfo2Lines(const FileFacts &facts, const QLocale &locale = QLocale());

// A long date with a short time, today and yesterday named in words, capitalised to start a sentence, in
// the locale and the time zone of the process ("Today at 14:05").
QString formattedFileDate(platform::Date date, const QLocale &locale = QLocale());

} // namespace kestrova
