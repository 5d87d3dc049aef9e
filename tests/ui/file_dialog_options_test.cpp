#include "ui/file_dialog_options.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

TEST(FileDialogOptions, CatalogueFilterListBecomesQtFilters) {
    EXPECT_EQ(qtNameFilters("All files|*.*|TIV code tag data|*.tiv|"),
              QStringList({"All files (*)", "TIV code tag data (*.tiv)"}));
    EXPECT_EQ(qtNameFilters("Alle Dateien|*.*|TIV - Codeträger-Daten|*.tiv|"),
              QStringList({"Alle Dateien (*)", "TIV - Codeträger-Daten (*.tiv)"}));
    // Several patterns of one filter, and a list without its final separator.
    EXPECT_EQ(qtNameFilters("Pictures|*.png;*.bmp"), QStringList({"Pictures (*.png *.bmp)"}));
    EXPECT_TRUE(qtNameFilters("").isEmpty());
    EXPECT_TRUE(qtNameFilters("Name without pattern|").isEmpty());
}

TEST(FileDialogOptions, SaveRequestPreselectsTagDataAndAsksBeforeOverwriting) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = TextId::SaveDialogTitle;
    request.initialName = "PART0001";
    const FileDialogOptions options =
        FileDialogOptions::fromRequest(request, MessageCatalog(Language::English));
    EXPECT_TRUE(options.save);
    EXPECT_EQ(options.title, "Save TIV file");
    ASSERT_EQ(options.nameFilters.size(), 2);
    EXPECT_EQ(options.nameFilters[options.selectedFilter], "TIV code tag data (*.tiv)");
    EXPECT_EQ(options.defaultSuffix, "tiv");
    EXPECT_EQ(options.initialName, "PART0001");
    EXPECT_TRUE(options.confirmOverwrite);
}

TEST(FileDialogOptions, OpenRequestUsesItsOwnTitleAndLanguage) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.title = TextId::OpenDialogTitle;
    const FileDialogOptions english =
        FileDialogOptions::fromRequest(request, MessageCatalog(Language::English));
    EXPECT_FALSE(english.save);
    EXPECT_EQ(english.title, "Select TIV file");
    EXPECT_TRUE(english.initialName.isEmpty());
    EXPECT_FALSE(english.confirmOverwrite);
    const FileDialogOptions german =
        FileDialogOptions::fromRequest(request, MessageCatalog(Language::German));
    EXPECT_EQ(german.title, "TIV-Datei auswählen");
    EXPECT_EQ(german.nameFilters.value(german.selectedFilter), "TIV - Codeträger-Daten (*.tiv)");
}

TEST(FileDialogOptions, FilterIndexOutsideTheListFallsBackToTheFirst) {
    FileDialogRequest request;
    for (const int index : {0, 3, -1}) {
        request.filterIndex = index;
        EXPECT_EQ(FileDialogOptions::fromRequest(request, MessageCatalog()).selectedFilter, 0);
    }
    request.filterIndex = 1;
    EXPECT_EQ(FileDialogOptions::fromRequest(request, MessageCatalog()).selectedFilter, 0);
}

TEST(FileDialogOptions, DeviceNamesBecomeHarmlessFileNames) {
    EXPECT_EQ(fileNameFromDeviceName("ABC     "), "ABC");
    EXPECT_EQ(fileNameFromDeviceName("../etc/x"), ".._etc_x");
    EXPECT_EQ(fileNameFromDeviceName(std::string_view("A\tB\x01\x7f", 5)), "A_B__");
    EXPECT_EQ(fileNameFromDeviceName(".."), "__");
    EXPECT_EQ(fileNameFromDeviceName("   "), "");
    // Bytes above 127 are the device's own characters, not an encoding error.
    EXPECT_EQ(fileNameFromDeviceName("M\xe4SS"), QString::fromUtf8("MäSS"));
}

}  // namespace
}  // namespace dravolin
