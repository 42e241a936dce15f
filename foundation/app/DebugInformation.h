#pragma once

#include <QString>
#include <QByteArray>

#include <optional>

// What the support and debug windows tell about the running application: the memory it takes and the
// sectioned debug report (the facts sent with feedback are KvApp::debugInfoText). Main thread only (the
// in-app log and the error metadata are read under their own locks).
namespace kestrova::KvApp {

// The memory this process alone keeps: its anonymous and shared-memory pages, resident or swapped out,
// from /proc/self/smaps_rollup (proportional counts), else /proc/self/status. It leaves out pages mapped
// from files (code, fonts), which the system can drop and read again: the nearest thing Linux has to a
// physical footprint. None where neither file can be read.
std::optional<qint64> memoryFootprint();
// The same from the texts of those two files (either may be empty).
std::optional<qint64> memoryFootprint(const QByteArray &smapsRollup, const QByteArray &status);
// "<Unavailable>", or the footprint as a memory byte count ("52.4 MB").
QString memoryUsageDescription();
// The time since launch in abbreviated units ("1h 5m 3s").
QString runningTimeDescription();

// The sectioned report: the application, the device, the settings, the error metadata and the in-app log.
QString debugReportText();

} // namespace kestrova::KvApp
