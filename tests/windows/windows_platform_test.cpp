// The Windows twins on their own: saving files, the comm layer's events and failed
// openings, the folders the programs keep their files in, the transfer log's file calls.

#include <windows.h>

#include <dbt.h>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>

#include "core/settings_file.h"
#include "exchange/local_time.h"
#include "exchange/state_folder.h"
#include "exchange/transfer_log.h"
#include "protocol/path_text.h"
#include "protocol/tag_data_file.h"
#include "protocol/wide_text.h"
#include "serial/device_change_watch.h"
#include "serial/open_failure_cause.h"
#include "serial/platform/comm.h"
#include "serial/port_lock.h"
#include "support/test_folder.h"
#include "support/waiting.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;

const std::string kUmlautFolder =
    "\xc3\x9c"
    "bergabe";  // "Übergabe" in UTF-8, as the programs keep it

std::string utf8Path(const fs::path& path) {
    return narrowed(path.wstring());
}

Bytes tagFile(const std::string& data) {
    return test::bytesOf(test::tagDataFile(data));
}

// The process's own environment (getenv reads the C library's copy from the start).
std::string environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return narrowed(std::wstring(value, length < 1024 ? length : 0));
}

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(WindowsFiles, SavesWholeUnderUtf16PathsAndRefusesWhatItMustNotReplace) {
    test::TestFolder folder;
    const fs::path umlauts = folder.path() / fs::path(widened(kUmlautFolder));
    fs::create_directories(umlauts);
    // The exchange hands the saver a path made from its UTF-8 text.
    const std::string target = utf8Path(umlauts) + "\\TAG00001.tiv";
    const FileSaver::Result saved =
        TagDataFile::save(pathFromText(target), tagFile("ABC"), FileSaver::IfExists::Replace);
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(contentOf(umlauts / L"TAG00001.tiv"), test::tagDataFile("ABC"));

    const TagDataFile::LoadResult loaded = TagDataFile::load(pathFromText(target));
    ASSERT_TRUE(loaded.ok) << loaded.reason;
    EXPECT_EQ(loaded.bytes, tagFile("ABC"));

    // A new-only save finds the file and leaves it; a replacing one replaces it.
    const FileSaver::Result kept =
        TagDataFile::save(pathFromText(target), tagFile("NEW"), FileSaver::IfExists::Keep);
    EXPECT_FALSE(kept.ok);
    EXPECT_NE(kept.reason.find("exists already"), std::string::npos) << kept.reason;
    ASSERT_TRUE(
        TagDataFile::save(pathFromText(target), tagFile("XYZW"), FileSaver::IfExists::Replace).ok);
    EXPECT_EQ(contentOf(umlauts / L"TAG00001.tiv"), test::tagDataFile("XYZW"));

    // Read-only binds whoever saves; a folder is never a file to save.
    SetFileAttributesW((umlauts / L"TAG00001.tiv").c_str(), FILE_ATTRIBUTE_READONLY);
    const FileSaver::Result readOnly =
        TagDataFile::save(pathFromText(target), tagFile("NO"), FileSaver::IfExists::Replace);
    EXPECT_FALSE(readOnly.ok);
    EXPECT_NE(readOnly.reason.find("read-only"), std::string::npos) << readOnly.reason;
    EXPECT_EQ(contentOf(umlauts / L"TAG00001.tiv"), test::tagDataFile("XYZW"));
    SetFileAttributesW((umlauts / L"TAG00001.tiv").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(TagDataFile::save(pathFromText(utf8Path(umlauts)), tagFile("NO"),
                                   FileSaver::IfExists::Replace)
                     .ok);

    // Nothing but the saved file is left: no temporary file beside it.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(umlauts)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    EXPECT_FALSE(TagDataFile::load(pathFromText(utf8Path(umlauts) + "\\missing.tiv")).ok);
}

TEST(WindowsComm, EventsWaitForTheLowestSetAndFailedOpeningsNameTheirCause) {
    comm::Event first;
    comm::Event second;
    std::array<comm::Event*, 2> events{&first, &second};
    EXPECT_EQ(comm::waitForAny(events, std::chrono::milliseconds(20)), comm::kWaitTimedOut);
    second.set();
    EXPECT_EQ(comm::waitForAny(events), 1);
    first.set();
    EXPECT_EQ(comm::waitForAny(events), 0);  // both set: the lowest wins
    first.reset();
    second.reset();
    EXPECT_FALSE(first.isSet());

    const std::unique_ptr<comm::Port> port = comm::makeSystemPort();
    const std::optional<LinkError> missing = port->open("\\\\.\\COM199");
    ASSERT_TRUE(missing);
    EXPECT_EQ(describeOpenFailure("\\\\.\\COM199", missing->code, "").text.id, TextId::PortMissing);
    test::TestFolder folder;
    const fs::path file = folder.write("not-a-port", "x");
    const std::optional<LinkError> notSerial = port->open(utf8Path(file));
    ASSERT_TRUE(notSerial);
    EXPECT_EQ(describeOpenFailure("x", notSerial->code, "").text.id, TextId::PortNotSerial);
    EXPECT_EQ(describeOpenFailure("\\\\.\\COM3", EBUSY, "").english(),
              "\\\\.\\COM3 is busy: another program has it open");
    // A name from outside reaches the console and the log with its controls made visible.
    EXPECT_EQ(describeOpenFailure("COM\x1b[2J", ENOENT, "").english(),
              "COM\\x1b[2J does not exist: is the adapter plugged in?");
}

// Wine does not keep a second program from a COM port another has open: our programs keep
// each other off it with a named mutex, whichever name they reach the port by.
TEST(WindowsComm, APortIsLockedForOurOtherProgramsWhileOneHasIt) {
    PortLock first;
    PortLock second;
    EXPECT_EQ(first.acquire("", "\\\\.\\COM7"), PortLock::Outcome::Taken);
    EXPECT_EQ(second.acquire("", "\\\\.\\com7"), PortLock::Outcome::HeldByOther);
    EXPECT_EQ(second.acquire("", "COM7"), PortLock::Outcome::HeldByOther);
    EXPECT_EQ(second.acquire("", "\\\\.\\COM8"), PortLock::Outcome::Taken);
    first.release();
    EXPECT_EQ(second.acquire("", "COM7"), PortLock::Outcome::Taken);
}

TEST(WindowsFolders, SettingsRoamAndTheLogStaysOnTheMachine) {
    const std::string appData = environment(L"APPDATA");
    const std::string localAppData = environment(L"LOCALAPPDATA");
    // Named as Windows names paths, with backslashes alone.
    EXPECT_EQ(SettingsFile::defaultPath().toStdString(), appData + "\\dravolin\\dravolin.ini");
    EXPECT_EQ(stateFolder(), localAppData + "\\dravolin");
    EXPECT_EQ(TransferLog::defaultPath(), localAppData + "\\dravolin\\transfers.log");
    // The file dialogs' first folder is the user's own, never the program's.
    const fs::path documents = widened(SettingsFile::firstDialogFolder().toStdString());
    const fs::path home = widened(environment(L"USERPROFILE"));
    EXPECT_TRUE(fs::is_directory(documents)) << documents.string();
    const fs::path within = documents.lexically_relative(home);
    EXPECT_FALSE(within.empty() || *within.begin() == "..") << documents.string();

    // The log's folder is made, each line is whole, and the lines come back in order.
    const TransferLog log("dravolin-cli", TransferLog::defaultPath(), {});
    std::string error;
    ASSERT_TRUE(log.append("first\tline", error)) << error;
    ASSERT_TRUE(log.append(std::string(TransferLog::kRotateAt, 'x'), error)) << error;
    ASSERT_TRUE(log.append("third", error)) << error;  // rotates: the log was full
    std::vector<std::string> lines;
    ASSERT_TRUE(TransferLog::lastLines(TransferLog::defaultPath(), 2, lines, error)) << error;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "third");
    EXPECT_TRUE(fs::exists(fs::path(widened(TransferLog::defaultPath() + ".1"))));
}

TEST(WindowsFolders, LocalTimeGivesTheZoneAsAnOffset) {
    const LocalTime now = localTime(std::chrono::system_clock::now());
    EXPECT_TRUE(std::regex_match(formatted(now.calendar, "%Y-%m-%d %z"),
                                 std::regex(R"(\d{4}-\d\d-\d\d [+-]\d{4})")))
        << formatted(now.calendar, "%Y-%m-%d %z");
}

// A text of a program's version information, read as Explorer's properties read it; empty
// when the program has no such text.
std::wstring versionText(const std::vector<char>& record, const std::wstring& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), path.c_str(), &value, &length) || length == 0) {
        return {};
    }
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

// Explorer's properties and Task Manager show both programs' descriptions in US English,
// non-ASCII letters intact, with the version the about box shows.
TEST(WindowsVersionInformation, BothProgramsDescribeThemselvesInUsEnglish) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const fs::path folder = fs::path(self).parent_path();
    const std::map<std::wstring, std::wstring> descriptions = {
        {L"dravolin.exe", L"Dravolin: exchange files with the handheld programmer"},
        {L"dravolin-cli.exe", L"Dravolin from the command line"}};
    for (const auto& [program, description] : descriptions) {
        SCOPED_TRACE(narrowed(program));
        const std::wstring path = (folder / program).wstring();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u);
        std::vector<char> record(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

        void* translation = nullptr;
        UINT length = 0;
        ASSERT_TRUE(
            VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &translation, &length));
        ASSERT_EQ(length, 4u);  // one language: English (US), Unicode
        EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0409);
        EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);

        const std::wstring table = L"\\StringFileInfo\\040904b0\\";
        EXPECT_EQ(versionText(record, table + L"FileDescription"), description);
        EXPECT_EQ(versionText(record, table + L"FileVersion"), L"1.1");
        EXPECT_EQ(versionText(record, table + L"ProductVersion"), L"1.1");
        EXPECT_EQ(versionText(record, table + L"OriginalFilename"), program);
        EXPECT_EQ(versionText(record, table + L"LegalCopyright"),
                  L"Copyright \u00a9 2026 Dravolin developers");
        EXPECT_TRUE(versionText(record, L"\\StringFileInfo\\040704b0\\FileVersion").empty());
    }
}

// The system's broadcast that devices came or went reaches an open watch once, from the
// event loop, and a watch that is gone hears nothing more.
TEST(WindowsDevices, TheDeviceChangeBroadcastIsHeardWhileWatched) {
    int argc = 1;
    char name[] = "windows_platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    auto broadcast = [](WPARAM event) {
        SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, event, 0, SMTO_ABORTIFHUNG, 5000,
                            nullptr);
    };
    int changes = 0;
    auto watch = std::make_unique<DeviceChangeWatch>("", [&] { ++changes; });
    broadcast(DBT_DEVNODES_CHANGED);
    broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(changes, 0);  // never inside the sender's call
    EXPECT_TRUE(waitUntil([&] { return changes > 0; }));
    pumpEvents(100);
    EXPECT_EQ(changes, 1);

    broadcast(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(waitUntil([&] { return changes == 2; }));
    watch.reset();
    broadcast(DBT_DEVNODES_CHANGED);
    pumpEvents(100);
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace dravolin
