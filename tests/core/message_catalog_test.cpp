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

// Every text the window shows exists in both languages.
TEST(MessageCatalog, EveryTextInBothLanguages) {
    for (int index = 0; index < MessageCatalog::kTextCount; ++index) {
        const auto id = static_cast<TextId>(index);
        EXPECT_FALSE(english(id).empty()) << index;
        EXPECT_FALSE(german(id).empty()) << index;
    }
    EXPECT_TRUE(english(static_cast<TextId>(MessageCatalog::kTextCount)).empty());
    EXPECT_TRUE(german(static_cast<TextId>(-1)).empty());
    // The settings dialog is titled with the words of the menu item that opens it.
    EXPECT_EQ(german(TextId::SettingsTitle), german(TextId::ConfigureItem));
    EXPECT_EQ(english(TextId::SettingsTitle), english(TextId::ConfigureItem));
    // The texts stand as they always have, open parenthesis and all.
    EXPECT_EQ(english(TextId::WrongSettings),
              "Communication error:\nWrong interface settings!\n(baud rate, parity, data bit, "
              "stop bit");
    EXPECT_EQ(german(TextId::WrongSettings).back(), ')');
    EXPECT_EQ(english(TextId::StatusDirectoryListed), " Please select file to send");
    EXPECT_EQ(english(TextId::StatusDirectoryListed), english(TextId::StatusChooseFileToSend));
}

TEST(MessageCatalog, PlaceholdersAreFilledInOnePass) {
    EXPECT_EQ(fillPlaceholders("%1 of %2 bytes (%3%)", {"5", "10", "50"}), "5 of 10 bytes (50%)");
    // What an argument holds is never filled in again; a missing argument leaves its mark.
    EXPECT_EQ(fillPlaceholders("%1 and %2", {"%2"}), "%2 and %2");
    EXPECT_EQ(fillPlaceholders("100%", {"x"}), "100%");
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
    // The same form wherever a letter is shown: a byte with no printable form by its code.
    const std::pair<char, std::string> shown[] = {
        {'0', "0"}, {'~', "~"}, {'\x07', "0x07"}, {'\x7F', "0x7F"}, {'\xC4', "0xC4"}};
    for (const auto& [code, text] : shown) {
        EXPECT_EQ(shownStatusLetter(code), text);
    }
}

}  // namespace
}  // namespace dravolin
