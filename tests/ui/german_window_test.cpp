#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "exchange/exchange.h"
#include "exchange/transfer_progress.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/client_area.h"
#include "ui/port_settings_dialog.h"

namespace dravolin {
namespace {

PortMap missingDevice() {
    PortMap map;
    map.map(1, "/nonexistent/dravolin-test-line");
    return map;
}

class WindowInLanguage : public ::testing::TestWithParam<Language> {
protected:
    WindowInLanguage()
        : record_(std::make_shared<ScriptedPrompts::Record>()),
          window_(missingDevice(), std::make_unique<ScriptedPrompts>(record_), nullptr, GetParam()),
          ui_(window_) {
        window_.exchange().setOutcomePause(0);
        window_.show();
        static_cast<void>(QTest::qWaitForWindowExposed(&window_));
    }

    std::shared_ptr<ScriptedPrompts::Record> record_;
    TransferDialog window_;
    WindowDriver ui_;
};

class GermanWindow : public WindowInLanguage {};

TEST_P(GermanWindow, MenusListsAndStatusLineAreGerman) {
    EXPECT_EQ(ui_.menu(0)->title(), "&Datenaustausch");
    EXPECT_EQ(ui_.menu(1)->title(), "&Konfiguration");
    EXPECT_EQ(ui_.start()->text(), "Datenaustausch starten\tF5");
    EXPECT_EQ(ui_.command(40004)->text(), "Programm be&enden");
    EXPECT_EQ(ui_.command(40005)->text(), "Schnittstelle parametrieren");
    EXPECT_EQ(ui_.command(57670)->text(), "&Hilfe\tF1");
    EXPECT_EQ(ui_.functionGroup()->title(), "Funktion auswählen");
    EXPECT_EQ(ui_.functionList()->currentText(), "Funktion auswählen");
    EXPECT_EQ(ui_.functionList()->itemText(0), "Daten empfangen");
    EXPECT_EQ(ui_.functionList()->itemText(1), "Daten senden");
    EXPECT_EQ(ui_.status(), " Bitte Funktion auswählen");
    ui_.chooseFunction(1);
    EXPECT_EQ(ui_.status(),
              " Funktion starten durch Menü \"Datenaustausch -> Datenaustausch starten F5\"");
}

TEST_P(GermanWindow, SettingsDialogCaptionsAreGerman) {
    QStringList captions;
    QTimer::singleShot(0, &window_, [&] {
        PortSettingsDialog& dialog = window_.settingsDialog();
        captions << dialog.windowTitle();
        for (const char* id : {"1137", "1138", "1139", "1140", "1159"}) {
            captions << dialog.findChild<QGroupBox*>(id)->title();
        }
        for (const char* id : {"1005", "1016", "1015", "1017", "1009"}) {
            captions << dialog.findChild<QRadioButton*>(id)->text();
        }
        captions << dialog.findChild<QPushButton*>("2")->text();
        dialog.reject();
    });
    ui_.command(40005)->trigger();
    EXPECT_EQ(captions,
              QStringList({"Serielle Schnittstelle parametrieren", "&Baudrate", "&Datenbits",
                           "&Stoppbits", "&Parität", "Schnittstelle", "9600 Baud", "ungerade",
                           "gerade", "keine", "Com 1", "Abbrechen"}));
}

// Against a port that does not open: the failure box and the status line in German, and
// the file dialog of a send titled in German.
TEST_P(GermanWindow, FailureBoxAndFileDialogAreGerman) {
    ui_.chooseFunction(0);
    ui_.start()->trigger();
    EXPECT_EQ(record_->messages,
              std::vector<QString>({"Fehler bei der Kommunikation:\nGerät antwortet nicht.\n"
                                    "Bitte Schnittstelle überprüfen!"}));
    EXPECT_EQ(ui_.status(), " Bitte Funktion auswählen");

    ui_.chooseFunction(1);
    ui_.start()->trigger();
    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_EQ(record_->fileDialogs[0].title, "TIV-Datei auswählen");
    EXPECT_EQ(record_->fileDialogs[0].nameFilters,
              QStringList({"Alle Dateien (*)", "TIV - Codeträger-Daten (*.tiv)"}));
}

std::string languageName(const ::testing::TestParamInfo<Language>& info) {
    return info.param == Language::German ? "German" : "English";
}

INSTANTIATE_TEST_SUITE_P(Dravolin, GermanWindow, ::testing::Values(Language::German), languageName);

// Every text the window can show fits, in either language, at the default size and at
// the smallest the window can be made.
class WindowTextsFit : public WindowInLanguage {
protected:
    void expectEveryTextFits(const char* where) {
        SCOPED_TRACE(where);
        QLabel* status = ui_.statusLine();
        const auto expectStatusFits = [&] {
            EXPECT_LE(status->sizeHint().width(), status->width()) << status->text().toStdString();
        };
        for (const TextId id :
             {TextId::StatusSuccess, TextId::StatusFailure, TextId::StatusStartUp,
              TextId::StatusCancelled, TextId::StatusFunctionChosen, TextId::StatusIdle}) {
            window_.setStatusText(id);
            expectStatusFits();
        }
        window_.setStatusTextWith(TextId::StatusFailureLetter, "A");
        expectStatusFits();
        window_.setStatusTextWith(TextId::StatusStored, "TAG00001");
        expectStatusFits();
        // Beside Cancel, and beside the progress bar, during an exchange.
        window_.setCancelAvailable(true);
        for (const TextId id : {TextId::StatusDirectoryListed, TextId::StatusChooseFileToSend,
                                TextId::StatusPleaseWait}) {
            window_.setStatusText(id);
            expectStatusFits();
        }
        auto* cancel = window_.findChild<QPushButton*>("cancel");
        EXPECT_GE(cancel->width(), cancel->sizeHint().width());
        TransferProgress progress;
        progress.done = 9000;
        progress.expected = 10008;
        progress.secondsLeft = 125;
        window_.showProgress(progress);
        expectStatusFits();
        auto* bar = window_.findChild<QProgressBar*>("progress");
        EXPECT_LT(bar->fontMetrics().horizontalAdvance(bar->text()), bar->width())
            << bar->text().toStdString();
        window_.hideProgress();
        window_.setCancelAvailable(false);
        window_.setStatusText(TextId::StatusIdle);
        window_.showFileList(1);
        const std::pair<QGroupBox*, QComboBox*> groups[] = {
            {ui_.functionGroup(), ui_.functionList()},
            {window_.findChild<QGroupBox*>("1001"), ui_.fileList()}};
        for (const auto& [group, list] : groups) {
            EXPECT_LE(group->minimumSizeHint().width(), group->width());
            // The field lies below the title and inside the frame.
            EXPECT_GE(list->y(), group->y() + group->fontMetrics().height());
            EXPECT_LE(list->y() + list->height(), group->y() + group->height());
        }
        EXPECT_LE(ui_.fileList()->y() + ui_.fileList()->height(), status->y());
        window_.clearFileList(TextId::SelectFile);
        QLineEdit* fields[] = {ui_.functionList()->lineEdit(), ui_.fileList()->lineEdit()};
        for (QLineEdit* field : fields) {
            EXPECT_LT(field->fontMetrics().horizontalAdvance(field->text()), field->width())
                << field->text().toStdString();
        }
        for (int i = 0; i < 2; ++i) {
            const QString entry = ui_.functionList()->itemText(i);
            EXPECT_LT(fields[0]->fontMetrics().horizontalAdvance(entry), fields[0]->width());
        }
        window_.showFileList(0);
    }
};

TEST_P(WindowTextsFit, AtTheDefaultAndTheSmallestSize) {
    expectEveryTextFits("default size");
    const QSize minimum = window_.minimumSize();
    EXPECT_GT(minimum.width(), 300);
    EXPECT_GT(minimum.height(), 200);
    window_.resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(window_.size(), minimum);
    expectEveryTextFits("smallest size");
}

INSTANTIATE_TEST_SUITE_P(Dravolin, WindowTextsFit,
                         ::testing::Values(Language::German, Language::English), languageName);

}  // namespace
}  // namespace dravolin
