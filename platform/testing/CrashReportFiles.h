#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <nlohmann/json.hpp>

#include <optional>

namespace kestrova::testing {

// One envelope file of platform::CrashReporter, read back the way any gunzip would.
struct CrashReportEnvelope {
    nlohmann::ordered_json header;
    nlohmann::ordered_json event;
};

// The envelope files of a reports folder, oldest first.
QStringList crashReportFiles(const QString &reportsDirectory);
// The decompressed content of a gzip file, or nothing when it is missing or not gzip.
std::optional<QByteArray> gunzipFile(const QString &path);
// The two JSON lines of an envelope file, or nothing when the file does not hold exactly those.
std::optional<CrashReportEnvelope> readCrashReport(const QString &path);

} // namespace kestrova::testing
