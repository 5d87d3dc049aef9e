#include "core/language_choice.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

constexpr Language de = Language::German;
constexpr Language en = Language::English;

TEST(LanguageChoice, FirstNonEmptyOfLcAllLcMessagesLangDecides) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        EXPECT_EQ(languageFromLocale(c.lcAll, c.lcMessages, c.lang), c.expected)
            << c.lcAll << " | " << c.lcMessages << " | " << c.lang;
    }
}

}  // namespace
}  // namespace dravolin
