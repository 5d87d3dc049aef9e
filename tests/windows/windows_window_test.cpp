// The window program's and the command line's words on Windows: the help texts describe
// Windows, what dravolin.exe is asked for before its window opens reaches the console of
// the program that started it, and the window's system menu offers the about box.

#include <windows.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/command_line.h"
#include "app/help_window.h"
#include "app/transfer_app.h"
#include "cli/cli_options.h"
#include "core/program_version.h"
#include "protocol/wide_text.h"
#include "ui/transfer_dialog.h"

namespace dravolin {
namespace {

// The folder this test runs from, where the programs are built too.
std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

// Every help text of both programs, in both languages: what it says of ports, files,
// language and quoting is what Windows has.
TEST(WindowsWords, HelpTextsDescribeWindowsNotLinux) {
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"dravolin-cli --help", CliOptions::usage()},
        {"dravolin --help", CommandLine::helpText()},
        {"help (English)", HelpWindow::helpText(Language::English).toStdString()},
        {"help (German)", HelpWindow::helpText(Language::German).toStdString()},
    };
    for (const auto& [name, text] : texts) {
        for (const char* word : {"/dev/", "~/", "XDG_", "dialout", "/run/lock", "LANG", "'A"}) {
            EXPECT_EQ(text.find(word), std::string::npos) << name << " speaks of " << word;
        }
        EXPECT_NE(text.find("%APPDATA%\\dravolin\\dravolin.ini"), std::string::npos) << name;
    }
    for (const auto& [name, text] : texts) {
        if (name != "dravolin --help") {
            EXPECT_NE(text.find("%LOCALAPPDATA%\\dravolin\\transfers.log"), std::string::npos)
                << name;
        }
    }
}

// A window program started from cmd has no console of its own and no standard handles:
// what it prints must reach the console it was started from.
TEST(WindowsWords, TheWindowProgramPrintsToTheConsoleItWasStartedFrom) {
    // A console of this test's own, as cmd has (wine gives the test none it can read).
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    std::wstring command = L"\"" + programFolder() + L"dravolin.exe\" --version";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // none: as cmd starts a window program
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    // Where the text reaches no one, the program shows it in a box and waits there.
    const bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
    }
    EXPECT_TRUE(ended);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(status, 0u);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    std::wstring shown(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1),
                       L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()), {0, 0},
                                &read);
    CloseHandle(screen);
    EXPECT_NE(narrowed(shown.substr(0, read)).find("dravolin " + std::string(kProgramVersion)),
              std::string::npos)
        << narrowed(shown.substr(0, read));
}

// A path outside the system's code page given to the window reaches it whole: the trace
// it cannot open there is named in full on standard error, Greek letter and umlaut alike.
TEST(WindowsWords, TheWindowReadsItsArgumentsInFull) {
    const std::wstring trace = programFolder() + L"\u0394-M\u00fcller\\missing\\trace.log";
    std::wstring command = L"\"" + programFolder() + L"dravolin.exe\" --trace=\"" + trace + L"\"";
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inherited, 0));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writer;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writer);
    ASSERT_TRUE(started);
    std::string err;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(reader, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        err.append(buffer, got);
    }
    CloseHandle(reader);
    const bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(ended);
    EXPECT_EQ(status, 2u) << err;
    EXPECT_NE(err.find("cannot write the protocol trace to " + narrowed(trace)), std::string::npos)
        << err;
}

// The label of the title bar menu's item 16, or nothing.
std::string systemMenuLabel(QWidget& window) {
    wchar_t label[64] = {};
    GetMenuStringW(GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE), 0x0010, label, 64,
                   MF_BYCOMMAND);
    return narrowed(label);
}

// The title bar's menu has the about item in the window's language; choosing it opens the
// about box, also while the window's own menus are grayed for an exchange. On the
// system's own window platform, as an operator sees it.
TEST(WindowsWindow, TheSystemMenuOpensTheAboutBoxInTheWindowsLanguage) {
    int argc = 1;
    char name[] = "windows_window_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    {
        TransferDialog english;
        english.show();
        EXPECT_EQ(systemMenuLabel(english), "&About Dravolin...");
    }
    TransferApp app({}, Language::German);
    std::string label;
    bool aboutShown = false;
    QTimer::singleShot(0, &app, [&] {
        TransferDialog* window = app.window();
        window->showState(ExchangeState{.stage = ExchangeState::Stage::Running});
        label = systemMenuLabel(*window);
        // The operator's choice in the menu, as the system hands it to the window.
        PostMessageW(reinterpret_cast<HWND>(window->winId()), WM_SYSCOMMAND, 0x0010, 0);
    });
    // Closes the about box once it is up, then the window; or the window after a while.
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<AboutDialog*>(widget); about && about->isVisible()) {
                aboutShown = true;
                about->accept();
                return;
            }
        }
        if (aboutShown || ++ticks > 400) {
            app.window()->done(QDialog::Rejected);
        }
    });
    poll.start(50);
    app.run();
    EXPECT_EQ(label, "Inf&o \u00fcber Dravolin...");
    EXPECT_TRUE(aboutShown);
}

}  // namespace
}  // namespace dravolin
