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
}

TEST(MessageCatalog, PlaceholdersAreFilledInOnePass) {
    EXPECT_EQ(fillPlaceholders("%1 of %2 bytes (%3%)", {"5", "10", "50"}), "5 of 10 bytes (50%)");
    // What an argument holds is never filled in again; a missing argument leaves its mark.
    EXPECT_EQ(fillPlaceholders("%1 and %2", {"%2"}), "%2 and %2");
    EXPECT_EQ(fillPlaceholders("100%", {"x"}), "100%");
}

}  // namespace
}  // namespace dravolin
