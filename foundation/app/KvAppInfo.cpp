// The application and system facts of KvApp.
#include "KvApp.h"
#include "SystemInfo.h"

#include "KitUtilities.h"
#include "platform/defaults/UserDefaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <sys/utsname.h>

#ifndef KESTROVA_BUILD_NUMBER
#define KESTROVA_BUILD_NUMBER "1"
#endif

namespace kestrova {
namespace SystemInfo {

QString osVersionFromRelease(const QString &release) {
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(release);
    QStringList parts;
    for (int group = 1; group <= 3; ++group) {
        const QString part = match.hasMatch() ? match.captured(group) : QString();
        parts << (part.isEmpty() ? QStringLiteral("0") : QString::number(part.toULongLong()));
    }
    return parts.join(QLatin1Char('.'));
}

std::map<QString, QString> parseOsRelease(const QByteArray &contents) {
    std::map<QString, QString> values;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0)
            continue;
        QString value = line.mid(equals + 1);
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        values[line.left(equals)] = value;
    }
    return values;
}

QString hardwareModelFromBytes(const std::optional<QByteArray> &bytes) {
    const QString unknown = QStringLiteral("<Unknown model>");
    if (!bytes)
        return unknown;
    const QByteArray text = removingTrailingZeroByte(*bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString model = decoder.decode(text);
    if (decoder.hasError() || model.trimmed().isEmpty())
        return unknown;
    return model.trimmed();
}

QString machineArchitectureFromBytes(const QByteArray &machine) {
    for (const char byte : machine)
        if (static_cast<unsigned char>(byte) > 0x7F)
            return QStringLiteral("unknown");
    qsizetype start = 0, end = machine.size();
    while (start < end && (static_cast<unsigned char>(machine[start]) < 0x20 || machine[start] == 0x7F))
        ++start;
    while (end > start && (static_cast<unsigned char>(machine[end - 1]) < 0x20 || machine[end - 1] == 0x7F))
        --end;
    if (start == end)
        return QStringLiteral("unknown");
    return QString::fromLatin1(machine.mid(start, end - start));
}

bool isSandboxed(const QProcessEnvironment &environment, bool flatpakInfoExists) {
    return environment.contains(QStringLiteral("FLATPAK_ID")) || flatpakInfoExists;
}

bool stickyCrashFlag(platform::UserDefaults &defaults, const std::function<bool()> &crashedLastRun) {
    const QString key = QStringLiteral("Kv_Sentry_hasCrashed");
    if (const auto stored = defaults.object(key); stored && stored->getIf<bool>() && *stored->getIf<bool>())
        return true;
    if (!crashedLastRun || !crashedLastRun())
        return false;
    defaults.setObject(platform::PropertyListValue(true), key);
    return true;
}

} // namespace SystemInfo

namespace KvApp {
namespace {

std::optional<QByteArray> readSmallFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(4096);
}

const std::map<QString, QString> &osRelease() {
    static const auto values = [] {
        auto contents = readSmallFile(QStringLiteral("/etc/os-release"));
        if (!contents)
            contents = readSmallFile(QStringLiteral("/usr/lib/os-release"));
        return SystemInfo::parseOsRelease(contents.value_or(QByteArray()));
    }();
    return values;
}

QString osReleaseValue(const QString &key) {
    const auto found = osRelease().find(key);
    return found == osRelease().end() ? QString() : found->second;
}

const utsname *systemName() {
    static const auto name = []() -> std::optional<utsname> {
        utsname value{};
        if (uname(&value) != 0)
            return std::nullopt;
        return value;
    }();
    return name ? &*name : nullptr;
}

} // namespace

const QString &id() {
    static const QString value = QString::fromLatin1(platform::UserDefaults::kApplicationIdentifier);
    return value;
}

const QString &name() {
    static const QString value = QStringLiteral("Kestrova");
    return value;
}

const QString &version() {
    static const QString value = QStringLiteral(KESTROVA_VERSION);
    return value;
}

const QString &build() {
    static const QString value = QStringLiteral(KESTROVA_BUILD_NUMBER);
    return value;
}

QString versionWithBuild() {
    return version() + QStringLiteral(" (") + build() + QLatin1Char(')');
}

const QUrl &url() {
    static const QUrl value = QUrl::fromLocalFile(QCoreApplication::applicationFilePath());
    return value;
}

bool isSandboxed() {
    static const bool value = SystemInfo::isSandboxed(QProcessEnvironment::systemEnvironment(),
                                                      QFileInfo::exists(QStringLiteral("/.flatpak-info")));
    return value;
}

const QString &osVersion() {
    static const QString value = SystemInfo::osVersionFromRelease(
        systemName() ? QString::fromLatin1(systemName()->release) : QString());
    return value;
}

const QString &osBuild() {
    static const QString value = [] {
        for (const auto *key : {"BUILD_ID", "VERSION_ID"})
            if (const QString text = osReleaseValue(QString::fromLatin1(key)); !text.isEmpty())
                return text;
        return QStringLiteral("<Unknown build>");
    }();
    return value;
}

QString osVersionWithBuild() {
    return osVersion() + QStringLiteral(" (") + osBuild() + QLatin1Char(')');
}

const QString &osVersionDescription() {
    static const QString value = [] {
        QString system = osReleaseValue(QStringLiteral("NAME"));
        if (system.isEmpty())
            system = QStringLiteral("Linux");
        return system + QLatin1Char(' ') + osVersionWithBuild();
    }();
    return value;
}

const QString &hardwareModel() {
    static const QString value = [] {
        // Device-tree machines (ARM boards) name themselves there; PCs in the firmware's tables.
        for (const auto *path : {"/proc/device-tree/model", "/sys/devices/virtual/dmi/id/product_name"})
            if (auto bytes = readSmallFile(QString::fromLatin1(path)))
                return SystemInfo::hardwareModelFromBytes(
                    QByteArray(path).startsWith("/sys") ? bytes->trimmed() : *bytes);
        return SystemInfo::hardwareModelFromBytes(std::nullopt);
    }();
    return value;
}

const QString &machineArchitecture() {
    static const QString value = systemName()
                                     ? SystemInfo::machineArchitectureFromBytes(systemName()->machine)
                                     : QStringLiteral("unknown");
    return value;
}

std::optional<QUrl> website() {
    return QUrl(QStringLiteral("https://kestrova.org"));
}

QString entitlementKey(Entitlement entitlement) {
    static const char *const keys[] = {
        "com.apple.security.app-sandbox",
        "com.apple.security.automation.apple-events",
        "com.apple.security.network.client",
        "com.apple.security.network.server",
        "com.apple.security.device.bluetooth",
        "com.apple.security.device.camera",
        "com.apple.security.device.microphone",
        "com.apple.security.device.print",
        "com.apple.security.device.usb",
        "com.apple.security.personal-information.addressbook",
        "com.apple.security.personal-information.calendars",
        "com.apple.security.personal-information.location",
        "com.apple.security.assets.movies.read-only",
        "com.apple.security.assets.movies.read-write",
        "com.apple.security.assets.music.read-only",
        "com.apple.security.assets.music.read-write",
        "com.apple.security.assets.pictures.read-only",
        "com.apple.security.assets.pictures.read-write",
        "com.apple.security.files.downloads.read-only",
        "com.apple.security.files.downloads.read-write",
        "com.apple.security.files.user-selected.read-only",
        "com.apple.security.files.user-selected.read-write",
    };
    return QString::fromLatin1(keys[static_cast<int>(entitlement)]);
}

bool hasEntitlement(Entitlement entitlement) {
    switch (entitlement) {
    case Entitlement::networkClient:
    case Entitlement::filesUserSelectedReadOnly:
    case Entitlement::filesUserSelectedReadWrite:
        return true;
    default:
        return false;
    }
}

} // namespace KvApp
} // namespace kestrova
