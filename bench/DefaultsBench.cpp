// Reading a key that holds 50 folder-sized JSON records, and one write with its change notification.
// Baseline: parsing the same 50 texts with the JSON reader alone, measured in the same run.
#include "store/DefaultsObservation.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using namespace kestrova;
using namespace kestrova::Defaults;

namespace {

constexpr int kRecordCount = 50;

// The shape of a stored folder: an identifier, a bookmark of a few hundred bytes, and a dozen settings.
struct FolderLike {
    QString id;
    QByteArray bookmark;
    QString title;
    QString sortOrder = QStringLiteral("name");
    bool keepFoldersOnTop = true;
    bool isVisible = true;
    bool showHiddenItems = false;
    std::optional<int> itemLimit;

    Json toJson() const {
        return Json{{"id", kestrova::toJson(id)},
                    {"urlBookmark", kestrova::toJson(bookmark)},
                    {"customTitle", kestrova::toJson(title)},
                    {"sortOrder", kestrova::toJson(sortOrder)},
                    {"keepFoldersOnTop", keepFoldersOnTop},
                    {"isVisible", isVisible},
                    {"showHiddenItems", showHiddenItems},
                    {"itemLimit", kestrova::toJson(itemLimit)}};
    }
    static FolderLike fromJson(const Json &json) {
        FolderLike folder;
        folder.id = kestrova::fromJson<QString>(requiredMember(json, "id"));
        folder.bookmark = kestrova::fromJson<QByteArray>(requiredMember(json, "urlBookmark"));
        folder.title = kestrova::fromJson<QString>(requiredMember(json, "customTitle"));
        folder.sortOrder = kestrova::fromJson<QString>(requiredMember(json, "sortOrder"));
        folder.keepFoldersOnTop = kestrova::fromJson<bool>(requiredMember(json, "keepFoldersOnTop"));
        folder.isVisible = kestrova::fromJson<bool>(requiredMember(json, "isVisible"));
        folder.showHiddenItems = kestrova::fromJson<bool>(requiredMember(json, "showHiddenItems"));
        folder.itemLimit = kestrova::fromJson<std::optional<int>>(requiredMember(json, "itemLimit"));
        return folder;
    }
};

std::vector<FolderLike> sampleFolders() {
    std::vector<FolderLike> folders;
    for (int index = 0; index < kRecordCount; ++index) {
        FolderLike folder;
        folder.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        folder.bookmark = QByteArray(480, char(index));
        folder.title = QStringLiteral("Folder %1").arg(index);
        folders.push_back(std::move(folder));
    }
    return folders;
}

} // namespace

template <> struct kestrova::Defaults::Serializable<FolderLike> : CodableSerializable<FolderLike> {};

namespace {

struct Fixture {
    std::shared_ptr<UserDefaults> suite = std::make_shared<UserDefaults>(QString{});
    Key<std::vector<FolderLike>> key{QStringLiteral("folders"), {}, suite};
    double baselineNs = 0;

    Fixture() {
        set(key, sampleFolders());
        constexpr int kRounds = 300;
        const auto start = std::chrono::steady_clock::now();
        for (int round = 0; round < kRounds; ++round) {
            const auto stored = suite->object(QStringLiteral("folders"));
            for (const auto &text : *stored->getIf<platform::PropertyListValue::Array>()) {
                const QByteArray utf8 = text.getIf<QString>()->toUtf8();
                auto json = JsonText::decode(utf8);
                benchmark::DoNotOptimize(json);
            }
        }
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        baselineNs = elapsed.count() / kRounds;
        std::fprintf(stderr, "baseline: parsing %d stored texts takes %.1f us\n", kRecordCount,
                     baselineNs / 1000);
    }
};

Fixture &fixture() {
    static Fixture shared;
    return shared;
}

template <typename Operation> void measure(benchmark::State &state, Operation operation) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        operation();
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    const double perOperationNs = elapsed.count() / double(state.iterations());
    state.counters["us_per_op"] = perOperationNs / 1000;
    state.counters["x_baseline"] = perOperationNs / fixture().baselineNs;
}

void BM_ReadFiftyRecords(benchmark::State &state) {
    auto &shared = fixture();
    measure(state, [&] {
        auto folders = get(shared.key);
        benchmark::DoNotOptimize(folders);
    });
}
BENCHMARK(BM_ReadFiftyRecords)->Unit(benchmark::kMicrosecond);

void BM_WriteFiftyRecordsAndNotify(benchmark::State &state) {
    auto &shared = fixture();
    const auto folders = get(shared.key);
    int notified = 0;
    auto observation = observe<std::vector<FolderLike>>(shared.key, {}, [&](const auto &) { ++notified; });
    measure(state, [&] { set(shared.key, folders); });
    if (notified != int(state.iterations()))
        state.SkipWithError("a write was not notified");
}
BENCHMARK(BM_WriteFiftyRecordsAndNotify)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
