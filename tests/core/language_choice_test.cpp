#include "core/language_choice.h"

#include <gtest/gtest.h>

#include <tuple>

namespace dravolin {
namespace {

constexpr Language de = Language::German;
constexpr Language en = Language::English;

TEST(LanguageChoice, FirstNonEmptyOfLcAllLcMessagesLangDecides) {
    // LC_ALL, LC_MESSAGES, LANG and the language they choose.
    const std::tuple<const char*, const char*, const char*, Language> cases[] = {
        {"", "", "", en},
        {"", "", "de_DE.UTF-8", de},
        {"", "de_AT", "", de},
        {"de_CH.UTF-8", "", "", de},
        {"de", "", "", de},
        {"de_DE@euro", "", "", de},
        // An earlier variable wins even when a later one asks for German.
        {"C", "", "de_DE.UTF-8", en},
        {"", "en_GB.UTF-8", "de_DE.UTF-8", en},
        {"", "de_DE.UTF-8", "en_US.UTF-8", de},
        // Only a German locale counts, not any name that happens to start with "de".
        {"", "", "default", en},
        {"", "", "fr_FR.UTF-8", en},
    };
    for (const auto& [lcAll, lcMessages, lang, expected] : cases) {
        EXPECT_EQ(languageFromLocale(lcAll, lcMessages, lang), expected)
            << lcAll << " | " << lcMessages << " | " << lang;
    }
}

}  // namespace
}  // namespace dravolin
