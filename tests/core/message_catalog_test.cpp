#include "core/message_catalog.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

std::string_view english(TextId id) {
    return MessageCatalog::text(id, Language::English);
}
std::string_view german(TextId id) {
    return MessageCatalog::text(id, Language::German);
}

TEST(MessageCatalog, SamplesInBothLanguages) {
    EXPECT_EQ(english(TextId::DeviceNotResponding),
              "Communication error:\nDevice not responding.\nPlease check interface!");
    EXPECT_EQ(english(TextId::StatusFunctionChosen),
              "Start function using \"Data exchange -> Start data exchange\tF5\"");
    EXPECT_EQ(english(TextId::SendEntry), "Send Data");
    // German texts keep their umlauts as UTF-8.
    EXPECT_EQ(german(TextId::FileOpenError),
              "Fehler beim \xC3\x96"
              "ffnen der Datei!");
    EXPECT_EQ(german(TextId::FileFilter), "Alle Dateien|*.*|TIV - Codetr\xC3\xA4ger-Daten|*.tiv|");
    EXPECT_TRUE(english(static_cast<TextId>(MessageCatalog::kTextCount)).empty());
    EXPECT_TRUE(german(static_cast<TextId>(-1)).empty());
}

// Every text the window shows exists in both languages, and a German text that differs
// from the English one keeps its UTF-8 intact.
TEST(MessageCatalog, EveryTextInBothLanguages) {
    for (int index = 0; index < MessageCatalog::kTextCount; ++index) {
        const auto id = static_cast<TextId>(index);
        EXPECT_FALSE(english(id).empty()) << index;
        EXPECT_FALSE(german(id).empty()) << index;
    }
    EXPECT_EQ(german(TextId::ParityGroup), "&Parit\xC3\xA4t");
    EXPECT_EQ(english(TextId::SettingsTitle), "Configure serial interface");
    EXPECT_EQ(german(TextId::SettingsTitle), "Serielle Schnittstelle parametrieren");
}

TEST(MessageCatalog, TextsThatAreTheSameOrOddOnPurpose) {
    for (Language language : {Language::German, Language::English}) {
        EXPECT_EQ(MessageCatalog::text(TextId::MemoryFull, language),
                  MessageCatalog::text(TextId::MemoryFullToo, language));
        EXPECT_EQ(MessageCatalog::text(TextId::DefaultExtension, language), "tiv");
    }
    EXPECT_EQ(english(TextId::MemoryFull), "Voska Programmer memory full!");
    EXPECT_EQ(
        english(TextId::WrongSettings),
        "Communication error:\nWrong interface settings!\n(baud rate, parity, data bit, stop bit");
    EXPECT_EQ(german(TextId::WrongSettings).back(), ')');
}

TEST(MessageCatalog, OutcomeBoxesByStatusLetter) {
    const std::pair<char, TextId> boxes[] = {
        {'B', TextId::BccInterfaceError},   {'D', TextId::FileOpenError},
        {'N', TextId::DeviceNotResponding}, {'Q', TextId::CharacterDelay},
        {'R', TextId::FileDoesNotExist},    {'S', TextId::MemoryFull},
        {'T', TextId::MemoryFullToo},       {'V', TextId::WrongSettings},
        {'W', TextId::ProtocolFormat},      {'X', TextId::BccError}};
    for (const auto& [letter, text] : boxes) {
        EXPECT_EQ(outcomeBoxText(letter), text) << letter;
    }
    for (char code : {'0', 'A', 'b', '\0'}) {
        EXPECT_FALSE(outcomeBoxText(code).has_value()) << code;
    }
}

}  // namespace
}  // namespace dravolin
