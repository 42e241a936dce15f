#include "store/Defaults.h"
#include "store/KitValueStorage.h"

#include "platform/testing/InMemorySuite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace kestrova;
using namespace kestrova::Defaults;
using platform::PropertyListValue;

namespace {

TEST(KitValueStorageTest, SoundsAndLanguagesAreKeptByTheirNames) {
    EXPECT_EQ(fromRawText<MacSystemSound>(QStringLiteral("Sosumi")), MacSystemSound::sosumi);
    EXPECT_EQ(fromRawText<MacSystemSound>(QStringLiteral("sosumi")), std::nullopt);
    EXPECT_EQ(macSystemSoundCases.size(), 14u);
    EXPECT_EQ(rawText(macSystemSoundCases.front().first), QStringLiteral("Basso"));
    EXPECT_EQ(rawText(macSystemSoundCases.back().first), QStringLiteral("Tink"));
    EXPECT_FALSE(Serializable<MacSystemSound>::storesNatively);

    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<MacSystemSound> sound(QStringLiteral("alertSound"), MacSystemSound::basso, suite);
    set(sound, MacSystemSound::submarine);
    EXPECT_EQ(suite->object(QStringLiteral("alertSound")), PropertyListValue(QStringLiteral("Submarine")));
    EXPECT_EQ(get(sound), MacSystemSound::submarine);
    // A name that is not a sound (another letter case, another program's) reads as the default.
    suite->setObject(PropertyListValue(QStringLiteral("submarine")), QStringLiteral("alertSound"));
    EXPECT_EQ(get(sound), MacSystemSound::basso);

    const auto &languages = NLLanguage::allCases();
    ASSERT_EQ(languages.size(), 56u);
    EXPECT_EQ(languages.front().rawValue(), QStringLiteral("am"));
    EXPECT_EQ(languages.back().rawValue(), QStringLiteral("vi"));
    std::set<QString> tags;
    for (const NLLanguage &language : languages)
        EXPECT_TRUE(tags.insert(language.rawValue()).second) << language.rawValue().toStdString();
    EXPECT_FALSE(tags.contains(NLLanguage::undetermined().rawValue()));
    EXPECT_TRUE(tags.contains(QStringLiteral("zh-Hans")) && tags.contains(QStringLiteral("zh-Hant")));

    const Key<std::optional<NLLanguage>> language(QStringLiteral("language"), std::nullopt, suite);
    set(language, NLLanguage::fromRawValue(QStringLiteral("zh-Hant")));
    EXPECT_EQ(suite->object(QStringLiteral("language")), PropertyListValue(QStringLiteral("zh-Hant")));
    EXPECT_EQ(get(language), NLLanguage::fromRawValue(QStringLiteral("zh-Hant")));
    EXPECT_EQ(NLLanguage::fromRawValue(QString()), std::nullopt);
}

} // namespace
