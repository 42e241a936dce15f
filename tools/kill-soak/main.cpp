// The kill soak: writer processes store random keys and values through platform::UserDefaults as fast as
// they can and report each write that returned; this process kills them with SIGKILL at random moments.
// After every kill the settings file must parse and hold every confirmed value (or a later one from the
// same writer, written but not yet reported). Half the rounds run two writers on the same file at once.
// With --full-disk the settings live on a small tmpfs (mounting it needs root), and half the rounds start
// with that disk full: the writers' saves fail until the disk is freed a moment later; a writer then reports
// only writes that are on disk.
//
//   kestrova_kill_soak [--kills N] [--seed S] [--folder PATH] [--full-disk]
//
// Prints kills, writes confirmed and values lost; exits 1 when anything was lost or damaged, 77 when
// --full-disk cannot mount its disk.
#include "platform/defaults/PropertyListSerialization.h"
#include "platform/defaults/UserDefaults.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using kestrova::platform::PropertyListValue;
using kestrova::platform::UserDefaults;
using kestrova::platform::PropertyListSerialization::fromXml;

namespace {

constexpr int kKeysPerWriter = 48;

QString keyName(int writer, int key) {
    return QStringLiteral("w%1.key%2").arg(writer).arg(key);
}

// The value of write number `sequence`: its kind and size vary with the number, and every value names its
// number, so that what the file holds can be checked against what was reported.
PropertyListValue valueOf(std::int64_t sequence) {
    switch (sequence % 5) {
    case 0:
        return PropertyListValue(sequence);
    case 1:
        return PropertyListValue(QStringLiteral("%1:").arg(sequence) +
                                 QString(int(sequence % 200), QLatin1Char('x')));
    case 2:
        return PropertyListValue(PropertyListValue::Array{PropertyListValue(sequence),
                                                          PropertyListValue(QStringLiteral("ö/<&>"))});
    case 3:
        return PropertyListValue(PropertyListValue::Dictionary{
            {QStringLiteral("sequence"), PropertyListValue(sequence)},
            {QStringLiteral("data"), PropertyListValue(QByteArray(int(sequence % 64), '\x7f'))}});
    default:
        return PropertyListValue(
            PropertyListValue::Array{PropertyListValue(sequence), PropertyListValue(true)});
    }
}

std::optional<std::int64_t> sequenceOf(const PropertyListValue &value) {
    if (const auto *integer = value.getIf<std::int64_t>())
        return *integer;
    if (const auto *text = value.getIf<QString>()) {
        bool ok = false;
        const auto sequence = text->section(QLatin1Char(':'), 0, 0).toLongLong(&ok);
        return ok ? std::optional(sequence) : std::nullopt;
    }
    if (const auto *array = value.getIf<PropertyListValue::Array>(); array && !array->empty())
        return sequenceOf(array->front());
    if (const auto *dictionary = value.getIf<PropertyListValue::Dictionary>()) {
        const auto found = dictionary->find(QStringLiteral("sequence"));
        return found == dictionary->end() ? std::nullopt : sequenceOf(found->second);
    }
    return std::nullopt;
}

// One confirmation on the pipe: the key number, the write's sequence number and how long the write took.
struct Confirmation {
    std::int32_t key;
    std::int64_t sequence;
    std::int64_t microseconds;
};

// `onDiskOnly`: a write is reported only once everything the writer wrote is on disk, as saves may fail.
[[noreturn]] void runWriter(const QString &file, int writer, unsigned seed, int confirmations,
                            bool onDiskOnly) {
    std::mt19937 random(seed);
    UserDefaults suite(file);
    // Each run of a writer continues its numbering where the file left it, so numbers only grow per key.
    std::int64_t sequence = std::int64_t(seed) * 1'000'000;
    for (;;) {
        const int key = int(random() % kKeysPerWriter);
        ++sequence;
        const auto started = std::chrono::steady_clock::now();
        suite.setObject(valueOf(sequence), keyName(writer, key));
        if (onDiskOnly && !suite.synchronize())
            continue;
        const auto took =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
        const Confirmation confirmation{key, sequence, took.count()};
        if (::write(confirmations, &confirmation, sizeof confirmation) != sizeof confirmation)
            ::_exit(3);
    }
}

struct Writer {
    pid_t pid = -1;
    int confirmations = -1;
    int index = 0;
};

Writer startWriter(const QString &file, int index, unsigned seed, bool onDiskOnly) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        ::close(fds[0]);
        runWriter(file, index, seed, fds[1], onDiskOnly);
    }
    ::close(fds[1]);
    return {pid, fds[0], index};
}

struct Totals {
    long kills = 0;
    // Informational: a write that waited for a lock left by a killed writer.
    std::int64_t longestWriteMicroseconds = 0;
    long writesOverASecond = 0;
    long confirmedWrites = 0;
    long lost = 0;
    long unreadable = 0;
    long setAside = 0;
    long roundsWithAFullDisk = 0;
};

// Fills the disk that holds `folder` to the last byte with a file of its own.
QByteArray fillDisk(const QString &folder) {
    const QByteArray filler = QFile::encodeName(folder + QStringLiteral("/filler"));
    const int descriptor = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const QByteArray block(4096, 'x');
    while (descriptor >= 0 && ::write(descriptor, block.constData(), std::size_t(block.size())) > 0) {
    }
    // Smaller pieces for the last partial block.
    while (descriptor >= 0 && ::write(descriptor, block.constData(), 64) > 0) {
    }
    if (descriptor >= 0)
        ::close(descriptor);
    return filler;
}

// Reads whole confirmations until the writer's end is closed (it is dead) or, with `untilFirst`, until one
// arrived. Confirmations are fixed-size and far below the pipe's atomic size, so none is ever split.
int drain(const Writer &writer, std::map<QString, std::int64_t> &confirmed, bool untilFirst, Totals &totals) {
    int count = 0;
    Confirmation confirmation{};
    for (;;) {
        const ssize_t got = ::read(writer.confirmations, &confirmation, sizeof confirmation);
        if (got == 0)
            return count;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return count;
        }
        if (got != sizeof confirmation)
            return count;
        auto &latest = confirmed[keyName(writer.index, confirmation.key)];
        latest = std::max(latest, confirmation.sequence);
        totals.longestWriteMicroseconds =
            std::max(totals.longestWriteMicroseconds, confirmation.microseconds);
        if (confirmation.microseconds > 1'000'000)
            ++totals.writesOverASecond;
        ++count;
        if (untilFirst)
            return count;
    }
}

// Every confirmed value must be in the file: the confirmed one, or a later write of the same writer.
// Each lost write is counted and printed once, however many later checks still miss it.
void check(const QString &file, const std::map<QString, std::int64_t> &confirmed,
           std::set<std::pair<QString, std::int64_t>> &lostWrites, Totals &totals) {
    QFile reader(file);
    std::optional<PropertyListValue> root;
    if (reader.open(QIODevice::ReadOnly))
        root = fromXml(reader.readAll());
    const auto *entries = root ? root->getIf<PropertyListValue::Dictionary>() : nullptr;
    if (!entries) {
        if (!confirmed.empty()) {
            ++totals.unreadable;
            std::fprintf(stderr, "The settings file does not parse after kill %ld\n", totals.kills);
        }
        return;
    }
    for (const auto &[key, sequence] : confirmed) {
        const auto found = entries->find(key);
        const auto stored = found == entries->end() ? std::nullopt : sequenceOf(found->second);
        if (!stored || *stored < sequence || found->second != valueOf(*stored)) {
            if (!lostWrites.insert({key, sequence}).second)
                continue;
            ++totals.lost;
            std::fprintf(stderr, "Lost after kill %ld: %s confirmed as write %lld, the file holds %s\n",
                         totals.kills, qPrintable(key), static_cast<long long>(sequence),
                         found == entries->end() ? "nothing" : qPrintable(found->second.debugDescription()));
        }
    }
    const QStringList corrupt =
        QFileInfo(file).dir().entryList({QFileInfo(file).fileName() + QStringLiteral(".corrupt*")});
    if (corrupt.size() > totals.setAside) {
        std::fprintf(stderr, "The settings file was set aside as damaged after kill %ld\n", totals.kills);
        totals.setAside = corrupt.size();
    }
}

void killAtRandom(Writer &writer, std::mt19937 &random, std::map<QString, std::int64_t> &confirmed,
                  Totals &totals) {
    // A kill at a random moment of the writer's steady loop, from right after its first write to a few
    // dozen writes later.
    totals.confirmedWrites += drain(writer, confirmed, /*untilFirst=*/true, totals);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20'000));
    ::kill(writer.pid, SIGKILL);
    // Reaped at once: a dead writer's lock is taken over only when its process is gone.
    ::waitpid(writer.pid, nullptr, 0);
    ++totals.kills;
}

} // namespace

int main(int argc, char **argv) {
    long kills = 1000;
    unsigned seed = std::random_device()();
    QString folder;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string option = argv[index];
        if (option == "--kills")
            kills = std::strtol(argv[index + 1], nullptr, 10);
        else if (option == "--seed")
            seed = unsigned(std::strtoul(argv[index + 1], nullptr, 10));
        else if (option == "--folder")
            folder = QString::fromLocal8Bit(argv[index + 1]);
    }
    const bool fullDisk = std::find_if(argv + 1, argv + argc, [](const char *argument) {
                              return std::strcmp(argument, "--full-disk") == 0;
                          }) != argv + argc;
    ::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir temporary;
    if (folder.isEmpty())
        folder = temporary.path();
    QDir().mkpath(folder);
    bool mounted = false;
    if (fullDisk) {
        mounted = ::geteuid() == 0 &&
                  ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=512k") == 0;
        if (!mounted) {
            std::printf("skipped: a full disk needs a tmpfs of its own, and mounting one needs root\n");
            return 77;
        }
    }
    const QString file = folder + QStringLiteral("/org.kestrova.Kestrova.plist");
    QFile::remove(file);

    std::mt19937 random(seed);
    std::map<QString, std::int64_t> confirmed;
    std::set<std::pair<QString, std::int64_t>> lostWrites;
    Totals totals;
    unsigned writerSeed = 1;
    while (totals.kills < kills) {
        const bool twoWriters = random() % 2 == 1;
        const bool diskFull = fullDisk && random() % 2 == 1;
        QByteArray filler;
        if (diskFull) {
            filler = fillDisk(folder);
            ++totals.roundsWithAFullDisk;
        }
        std::vector<Writer> writers{startWriter(file, 0, writerSeed++, fullDisk)};
        if (twoWriters)
            writers.push_back(startWriter(file, 1, writerSeed++, fullDisk));
        if (diskFull) {
            // The writers meet the full disk for a moment, then space comes back.
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 50'000));
            ::unlink(filler.constData());
        }
        for (Writer &writer : writers)
            killAtRandom(writer, random, confirmed, totals);
        for (Writer &writer : writers) {
            totals.confirmedWrites += drain(writer, confirmed, /*untilFirst=*/false, totals);
            ::close(writer.confirmations);
        }
        check(file, confirmed, lostWrites, totals);
    }
    std::printf("seed %u: kills: %ld, writes confirmed: %ld, values lost: %ld, unreadable files: %ld, "
                "files set aside: %ld (longest write %lld ms, writes over 1 s: %ld, rounds with a full disk: "
                "%ld)\n",
                seed, totals.kills, totals.confirmedWrites, totals.lost, totals.unreadable, totals.setAside,
                static_cast<long long>(totals.longestWriteMicroseconds / 1000), totals.writesOverASecond,
                totals.roundsWithAFullDisk);
    if (mounted)
        ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    return totals.lost == 0 && totals.unreadable == 0 && totals.setAside == 0 ? 0 : 1;
}
