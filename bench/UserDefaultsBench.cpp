// Reading and writing one entry of a settings suite that holds 1,000 entries in a file of about 100 KB.
#include "platform/defaults/PropertyListSerialization.h"
#include "platform/defaults/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>

using kestrova::platform::PropertyListValue;
using kestrova::platform::UserDefaults;
using kestrova::platform::PropertyListSerialization::toXml;

namespace {

constexpr int kEntryCount = 1000;

QString entryName(int index) {
    return QStringLiteral("entry%1").arg(index);
}

// About 100 bytes of text per entry.
PropertyListValue entryValue(int index) {
    return QStringLiteral("{\"id\":\"%1\",\"title\":\"A folder with a fairly long title\",\"x\":%2}")
        .arg(index, 8, 10, QLatin1Char('0'))
        .arg(index * 7);
}

// Nanoseconds per lookup in a std::map of the same entries: the baseline the suite's timings are set against.
double baselineNanoseconds(const std::map<QString, PropertyListValue> &map) {
    constexpr int kRounds = 200'000;
    const auto start = std::chrono::steady_clock::now();
    for (int index = 0; index < kRounds; ++index) {
        auto found = map.find(entryName(index % kEntryCount));
        benchmark::DoNotOptimize(found);
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / kRounds;
}

struct Fixture {
    QTemporaryDir directory;
    std::unique_ptr<UserDefaults> suite;
    std::map<QString, PropertyListValue> entries;
    double baselineNs = 0;

    Fixture() {
        const QString path = directory.path() + QStringLiteral("/bench.plist");
        for (int index = 0; index < kEntryCount; ++index)
            entries.emplace(entryName(index), entryValue(index));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(toXml(PropertyListValue(PropertyListValue::Dictionary(entries))));
        file.close();
        suite = std::make_unique<UserDefaults>(path);
        baselineNs = baselineNanoseconds(entries);
        std::fprintf(stderr, "settings file: %lld bytes, %zu entries; baseline map lookup: %.1f ns\n",
                     static_cast<long long>(QFile(path).size()), suite->persistentDomain().size(),
                     baselineNs);
    }
};

Fixture &fixture() {
    static Fixture shared;
    return shared;
}

// Runs `operation` for every iteration and reports its cost as a multiple of the baseline lookup.
template <typename Operation> void measure(benchmark::State &state, Operation operation) {
    const auto start = std::chrono::steady_clock::now();
    int index = 0;
    for (auto _ : state)
        operation(index++);
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["x_baseline"] = elapsed.count() / double(state.iterations()) / fixture().baselineNs;
}

void BM_ObjectForName(benchmark::State &state) {
    auto &suite = *fixture().suite;
    measure(state, [&](int index) {
        auto value = suite.object(entryName(index % kEntryCount));
        benchmark::DoNotOptimize(value);
    });
}
BENCHMARK(BM_ObjectForName);

void BM_SetObject(benchmark::State &state) {
    auto &suite = *fixture().suite;
    measure(state, [&](int index) { suite.setObject(entryValue(index), entryName(index % kEntryCount)); });
}
BENCHMARK(BM_SetObject)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
