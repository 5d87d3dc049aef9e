#include "ui/qt_user_prompts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace dravolin {
namespace {

// Acts on the modal dialog that the call under test puts up, once it is up.
template <typename Dialog>
void whenShown(const std::function<void(Dialog*)>& operate) {
    QTimer::singleShot(0, qApp, [operate] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        operate(dialog);
    });
}

TEST(QtUserPrompts, MessageBoxIsModalWithTitleTextIconAndOk) {
    QtUserPrompts prompts;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    prompts.showMessage(nullptr, "Dravolin", "Interface error:\nBCC error.\n<b>",
                        MessageIcon::Exclamation);
    EXPECT_EQ(title, "Dravolin");
    EXPECT_EQ(text, "Interface error:\nBCC error.\n<b>");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);

    whenShown<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    prompts.showMessage(nullptr, "Dravolin", "No file saved!", MessageIcon::Information);
    EXPECT_EQ(icon, QMessageBox::Information);
}

TEST(QtUserPrompts, SaveDialogOffersTagDataFilesAndAddsTheSuffix) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    FileDialogOptions options;
    options.save = true;
    options.title = "Save TIV file";
    options.nameFilters = {"All files (*)", "TIV code tag data (*.tiv)"};
    options.selectedFilter = 1;
    options.defaultSuffix = "tiv";
    options.initialName = "PART0001";
    options.confirmOverwrite = true;

    QtUserPrompts prompts;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QString title;
    QString filter;
    QString suffix;
    bool confirms = false;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->acceptMode();
        title = dialog->windowTitle();
        filter = dialog->selectedNameFilter();
        suffix = dialog->defaultSuffix();
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(folder.path());
        dialog->selectFile(folder.filePath("PART0001"));
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const std::optional<QString> chosen = prompts.chooseFile(nullptr, options);
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_EQ(title, "Save TIV file");
    EXPECT_EQ(filter, "TIV code tag data (*.tiv)");
    EXPECT_EQ(suffix, "tiv");
    EXPECT_TRUE(confirms);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, folder.filePath("PART0001.tiv"));
}

TEST(QtUserPrompts, CancelledOpenDialogChoosesNothing) {
    FileDialogOptions options;
    options.title = "Select TIV file";
    options.nameFilters = {"All files (*)", "TIV code tag data (*.tiv)"};
    options.selectedFilter = 1;
    QtUserPrompts prompts;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        fileMode = dialog->fileMode();
        dialog->reject();
    });
    EXPECT_FALSE(prompts.chooseFile(nullptr, options).has_value());
    EXPECT_EQ(fileMode, QFileDialog::ExistingFile);
}

}  // namespace
}  // namespace dravolin
