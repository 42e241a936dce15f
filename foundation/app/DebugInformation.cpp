#include "DebugInformation.h"

#include "DefaultsDebugDump.h"
#include "KvApp.h"
#include "Log.h"
#include "foundation/text/Formatters.h"
#include "foundation/values/ClampedToInt.h"
#include "platform/defaults/UserDefaults.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

#include <algorithm>
#include <initializer_list>
#include <map>

namespace kestrova::KvApp {
namespace {

// "Name:   1234 kB" lines of a /proc file, in bytes.
std::map<QByteArray, qint64> kilobyteFields(const QByteArray &text) {
    std::map<QByteArray, qint64> fields;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QList<QByteArray> parts = line.mid(colon + 1).simplified().split(' ');
        if (parts.size() != 2 || parts[1] != "kB")
            continue;
        bool isNumber = false;
        const qint64 kilobytes = parts[0].toLongLong(&isNumber);
        if (isNumber && kilobytes >= 0 && kilobytes < (qint64(1) << 50))
            fields[line.left(colon)] = kilobytes * 1024;
    }
    return fields;
}

// The sum of the named fields; none unless every one is there.
std::optional<qint64> sumOf(const std::map<QByteArray, qint64> &fields,
                            std::initializer_list<const char *> names) {
    qint64 sum = 0;
    for (const char *name : names) {
        const auto found = fields.find(QByteArray(name));
        if (found == fields.end())
            return std::nullopt;
        sum += found->second;
    }
    return sum;
}

QByteArray readProcFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The kernel makes these files up as they are read; they are a few kilobytes at most.
    return file.read(1 << 20);
}

QString localeDescription() {
    const QLocale locale;
    return QStringLiteral("%1 (%2)").arg(locale.name(),
                                         englishNameOfLanguage(locale).value_or(QStringLiteral("<Unknown>")));
}

int screenCount() {
    return qGuiApp ? int(QGuiApplication::screens().size()) : 0;
}

qint64 primaryScreenScale() {
    if (!qGuiApp || QGuiApplication::screens().isEmpty())
        return 1;
    return clampedToInt(QGuiApplication::screens().constFirst()->devicePixelRatio());
}

} // namespace

std::optional<qint64> memoryFootprint(const QByteArray &smapsRollup, const QByteArray &status) {
    const auto rollup = kilobyteFields(smapsRollup);
    if (const auto proportional = sumOf(rollup, {"Pss_Anon", "Pss_Shmem", "SwapPss"}))
        return proportional;
    if (const auto anonymous = sumOf(rollup, {"Anonymous", "Swap"}))
        return anonymous;
    return sumOf(kilobyteFields(status), {"RssAnon", "RssShmem", "VmSwap"});
}

std::optional<qint64> memoryFootprint() {
    return memoryFootprint(readProcFile(QStringLiteral("/proc/self/smaps_rollup")),
                           readProcFile(QStringLiteral("/proc/self/status")));
}

QString memoryUsageDescription() {
    const auto footprint = memoryFootprint();
    if (!footprint)
        return QStringLiteral("<Unavailable>");
    ByteCountFormatOptions options;
    options.style = ByteCountFormatOptions::Style::memory;
    options.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return formattedByteCount(*footprint, options);
}

QString runningTimeDescription() {
    const double seconds = platform::Date::now().timeIntervalSinceReferenceDate() -
                           launchDate().timeIntervalSinceReferenceDate();
    return formattedElapsedTime(seconds, QLocale(QLocale::English, QLocale::UnitedStates))
        .value_or(QString());
}

QString debugInfoText() {
    std::vector<std::pair<QString, QString>> lines{
        {QStringLiteral("App"), name() + QLatin1Char(' ') + versionWithBuild()},
        {QStringLiteral("Bundle Identifier"), id()},
        {QStringLiteral("OS"), osVersionDescription()},
        {QStringLiteral("Model"), hardwareModel()},
        {QStringLiteral("Architecture"), machineArchitecture()},
        {QStringLiteral("Locale"), localeDescription()},
        {QStringLiteral("Screens"), QString::number(screenCount())},
        {QStringLiteral("Primary Screen Scale"), QString::number(primaryScreenScale())},
        {QStringLiteral("App Memory Usage"), memoryUsageDescription()},
    };
    // What other parts of the application add (none replaces a fact above: the labels stay unique).
    auto extras = debugInfoExtras().keyValuePairs();
    std::ranges::sort(extras, [](const auto &lhs, const auto &rhs) { return lhs.first < rhs.first; });
    for (const auto &extra : extras) {
        if (std::ranges::none_of(lines, [&](const auto &line) { return line.first == extra.first; }))
            lines.emplace_back(extra.first, extra.second.toString());
    }
    return DefaultsDebugDump::formattedKeyValueLines(lines);
}

QString debugReportText() {
    const auto settings = DefaultsDebugDump::debugDump(*platform::UserDefaults::standard());
    auto metadata = errorReportingMetadata().keyValuePairs();
    std::ranges::sort(metadata, [](const auto &lhs, const auto &rhs) { return lhs.first < rhs.first; });
    std::vector<std::pair<QString, QString>> metadataLines;
    for (const auto &[key, value] : metadata)
        metadataLines.emplace_back(key, value.toString());
    const QStringList logEntries = InAppLogStore::shared().entries();
    const QString fence = QStringLiteral("```");

    QString report;
    report += QStringLiteral("# ") + name() + QLatin1Char(' ') + versionWithBuild();
    report += QStringLiteral("\n\nBundle Identifier: ") + id();
    report += QStringLiteral("\nRunning Time: ") + runningTimeDescription();
    report += QStringLiteral("\nMemory Usage: ") + memoryUsageDescription();
    report += QStringLiteral("\nLaunch Count: ") + QString::number(launchCount());
    report += QStringLiteral("\n\n# Device\n\nOS: ") + osVersionDescription();
    report += QStringLiteral("\nModel: ") + hardwareModel();
    report += QStringLiteral("\nArchitecture: ") + machineArchitecture();
    report += QStringLiteral("\nLocale: ") + localeDescription();
    report += QStringLiteral("\nScreens: ") + QString::number(screenCount());
    report += QStringLiteral("\nPrimary Screen Scale: ") + QString::number(primaryScreenScale());
    report +=
        QStringLiteral("\n\n# Settings\n\n") +
        (settings.empty() ? QStringLiteral("<Empty>") : DefaultsDebugDump::formattedKeyValueLines(settings));
    report += QStringLiteral("\n\n# Custom\n\n") + DefaultsDebugDump::formattedKeyValueLines(metadataLines);
    report += QStringLiteral("\n\n# Logs\n\n") + fence + QLatin1Char('\n') +
              (logEntries.isEmpty() ? QStringLiteral("<Empty>") : logEntries.join(QLatin1Char('\n')));
    report += QLatin1Char('\n') + fence;
    return report;
}

} // namespace kestrova::KvApp
