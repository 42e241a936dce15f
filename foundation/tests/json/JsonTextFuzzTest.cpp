// Random and mutated text fed to every soft JSON reader: each answer is a value or nothing, never a crash,
// and whatever is read writes back to text that reads as the same value.
#include "foundation/json/DecodableDefault.h"
#include "foundation/collections/Either.h"
#include "foundation/json/JsonCoding.h"
#include "foundation/collections/Tuple2.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrova {
namespace {

constexpr std::string_view kJsonBytes = "{}[]:,\"\\/ 0123456789.eE+-tfnrulasx\xC3\xA9\xED\xA0\x80\xF0\x9F";
const std::vector<std::string> kSeeds = {
    R"({"left":{"_0":5}})",
    R"({"right":{"_0":["a\/b","c"]}})",
    R"({"first":1,"second":"two"})",
    R"({"isVisible":true,"data":"QUJD","date":694224000.5})",
    R"([1,-2,3.5e10,"\u00e9\ud83d\ude00",null,false,{}])",
    R"("QUJDRA==")",
};

std::string randomText(std::mt19937 &random) {
    std::uniform_int_distribution<int> lengthDistribution(0, 48);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> jsonByte(0, kJsonBytes.size() - 1);
    std::string text;
    const int length = lengthDistribution(random);
    for (int index = 0; index < length; ++index)
        text += pick(random) < 8 ? kJsonBytes[jsonByte(random)] : static_cast<char>(anyByte(random));
    return text;
}

std::string mutatedSeed(std::mt19937 &random) {
    std::string text = kSeeds[std::uniform_int_distribution<std::size_t>(0, kSeeds.size() - 1)(random)];
    const int edits = std::uniform_int_distribution<int>(1, 4)(random);
    for (int edit = 0; edit < edits && !text.empty(); ++edit) {
        const std::size_t position = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
        const char replacement =
            kJsonBytes[std::uniform_int_distribution<std::size_t>(0, kJsonBytes.size() - 1)(random)];
        switch (std::uniform_int_distribution<int>(0, 2)(random)) {
        case 0:
            text[position] = replacement;
            break;
        case 1:
            text.insert(position, 1, replacement);
            break;
        default:
            text.erase(position, 1);
        }
    }
    return text;
}

struct Record {
    DecodableDefault::Wrapper<DecodableDefault::Sources::True> isVisible;
    QByteArray data;
    std::optional<platform::Date> date;

    static Record fromJson(const Json &json) {
        return {decltype(isVisible)::decode(json, "isVisible"), decodeOrDefault(json, "data", QByteArray()),
                decodeOrDefault(json, "date", std::optional<platform::Date>())};
    }
};

void checkEveryReader(const std::string &text, int &decodedCount) {
    SCOPED_TRACE(text);
    if (const std::optional<Json> json = JsonText::decode(text)) {
        ++decodedCount;
        std::string written;
        ASSERT_NO_THROW(written = JsonText::encode(*json));
        const std::optional<Json> again = JsonText::decode(written);
        ASSERT_TRUE(again);
        EXPECT_EQ(*again, *json);
        EXPECT_EQ(JsonText::encode(*again), written);
    }
    if (const std::optional<Json> stored = JsonText::decodeStoredValue(text)) {
        EXPECT_NO_THROW(JsonText::encodeStoredValue(*stored));
    }
    (void)decodeJson<Tuple2<int, QString>>(text);
    (void)decodeJson<Either<std::int8_t, std::vector<QString>>>(text);
    (void)decodeJson<Either<double, Tuple2<bool, std::uint64_t>>>(text);
    (void)decodeJson<QByteArray>(text);
    (void)decodeJson<Record>(text);
    (void)decodeJsonValue<platform::Date>(text);
    (void)decodeJsonValue<std::vector<std::optional<float>>>(text);
}

TEST(JsonTextFuzzTest, RandomBytesNeverBreakTheReaders) {
    std::mt19937 random(20240611);
    int decodedCount = 0;
    for (int round = 0; round < 20'000; ++round)
        checkEveryReader(randomText(random), decodedCount);
    for (int round = 0; round < 20'000; ++round)
        checkEveryReader(mutatedSeed(random), decodedCount);
    for (const std::string &seed : kSeeds)
        checkEveryReader(seed, decodedCount);
    // The mutated seeds must reach the readers' success paths too, or the run proves little.
    EXPECT_GT(decodedCount, 1000);
}

} // namespace
} // namespace kestrova
