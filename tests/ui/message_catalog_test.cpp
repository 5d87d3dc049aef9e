#include "ui/message_catalog.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

std::string_view english(TextId id) {
    return MessageCatalog::text(id, Language::English);
}
std::string_view german(TextId id) {
    return MessageCatalog::text(id, Language::German);
}

TEST(MessageCatalog, EveryTextExistsInBothLanguages) {
    for (int i = 0; i < MessageCatalog::kTextCount; ++i) {
        EXPECT_FALSE(english(static_cast<TextId>(i)).empty()) << i;
        EXPECT_FALSE(german(static_cast<TextId>(i)).empty()) << i;
    }
    EXPECT_TRUE(english(static_cast<TextId>(35)).empty());
    EXPECT_TRUE(english(static_cast<TextId>(-1)).empty());
}

TEST(MessageCatalog, SamplesInEnglish) {
    EXPECT_EQ(english(TextId::DeviceNotResponding),
              "Communication error:\nDevice not responding.\nPlease check interface!");
    EXPECT_EQ(english(TextId::StartItem), "Start data exchange\tF5");
    EXPECT_EQ(english(TextId::StatusSuccess), " Data transmission successful");
    EXPECT_EQ(english(TextId::FileFilter), "All files|*.*|TIV code tag data|*.tiv|");
    EXPECT_EQ(english(TextId::StatusFunctionChosen),
              "Start function using \"Data exchange -> Start data exchange\tF5\"");
    EXPECT_EQ(english(TextId::SendEntry), "Send Data");
}

TEST(MessageCatalog, SamplesInGermanKeepTheirUmlauts) {
    EXPECT_EQ(german(TextId::FileOpenError),
              "Fehler beim \xC3\x96"
              "ffnen der Datei!");
    EXPECT_EQ(german(TextId::DeviceNotResponding),
              "Fehler bei der Kommunikation:\nGer\xC3\xA4t antwortet nicht.\nBitte "
              "Schnittstelle \xC3\xBC"
              "berpr\xC3\xBC"
              "fen!");
    EXPECT_EQ(german(TextId::FileFilter), "Alle Dateien|*.*|TIV - Codetr\xC3\xA4ger-Daten|*.tiv|");
    EXPECT_EQ(
        german(TextId::StatusFunctionChosen),
        " Funktion starten durch Men\xC3\xBC \"Datenaustausch -> Datenaustausch starten\tF5\"");
}

TEST(MessageCatalog, MemoryFullTextsAreTheSame) {
    for (Language language : {Language::German, Language::English}) {
        EXPECT_EQ(MessageCatalog::text(TextId::MemoryFull, language),
                  MessageCatalog::text(TextId::MemoryFullToo, language));
    }
    EXPECT_EQ(english(TextId::MemoryFull), "Voska Programmer memory full!");
}

TEST(MessageCatalog, ExtensionIsTivInBothLanguages) {
    EXPECT_EQ(english(TextId::DefaultExtension), "tiv");
    EXPECT_EQ(german(TextId::DefaultExtension), "tiv");
}

TEST(MessageCatalog, EnglishWrongSettingsTextHasNoClosingParenthesis) {
    EXPECT_EQ(
        english(TextId::WrongSettings),
        "Communication error:\nWrong interface settings!\n(baud rate, parity, data bit, stop bit");
    EXPECT_EQ(german(TextId::WrongSettings).back(), ')');
}

TEST(MessageCatalog, LookupFollowsTheActiveLanguage) {
    MessageCatalog catalog;
    EXPECT_EQ(catalog.lookup(TextId::SelectFunction), "Select function");
    catalog.setLanguage(Language::German);
    EXPECT_EQ(catalog.lookup(TextId::SelectFunction), "Funktion ausw\xC3\xA4hlen");
}

TEST(OutcomeBoxes, FailureLettersHaveTheirTexts) {
    EXPECT_EQ(outcomeBoxText('B'), TextId::BccInterfaceError);
    EXPECT_EQ(outcomeBoxText('D'), TextId::FileOpenError);
    EXPECT_EQ(outcomeBoxText('N'), TextId::DeviceNotResponding);
    EXPECT_EQ(outcomeBoxText('Q'), TextId::CharacterDelay);
    EXPECT_EQ(outcomeBoxText('R'), TextId::FileDoesNotExist);
    EXPECT_EQ(outcomeBoxText('S'), TextId::MemoryFull);
    EXPECT_EQ(outcomeBoxText('T'), TextId::MemoryFullToo);
    EXPECT_EQ(outcomeBoxText('V'), TextId::WrongSettings);
    EXPECT_EQ(outcomeBoxText('W'), TextId::ProtocolFormat);
    EXPECT_EQ(outcomeBoxText('X'), TextId::BccError);
}

TEST(OutcomeBoxes, SuccessAndUnknownLettersShowNoBox) {
    for (char code : {'0', 'A', 'b', 'Z', '\0', '1'}) {
        EXPECT_FALSE(outcomeBoxText(code).has_value()) << code;
    }
}

}  // namespace
}  // namespace dravolin
