// The search over pseudo-terminals; consoles from a made-up sysfs and proc, never the real ones.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "exchange/programmer_search.h"
#include "exchange/search_candidates.h"
#include "exchange/search_order.h"
#include "exchange/serial_line_try.h"
#include "protocol/unique_fd.h"
#include "serial/port_lock.h"
#include "sim/simulated_programmer.h"
#include "support/pty_pair.h"
#include "support/recording_presenter.h"
#include "support/simulator_seed.h"
#include "support/test_folder.h"
#include "support/waiting.h"

namespace dravolin::test {
namespace {

class FindTest : public ::testing::Test {
protected:
    // A lock folder of its own, and the test run's isolated one back afterwards, so that no
    // later test takes its locks in the system's folder.
    void SetUp() override {
        const char* before = std::getenv("DRAVOLIN_LOCK_DIR");
        lockFolderBefore = before ? before : "";
        ::setenv("DRAVOLIN_LOCK_DIR", locks.path().c_str(), 1);
    }
    void TearDown() override { ::setenv("DRAVOLIN_LOCK_DIR", lockFolderBefore.c_str(), 1); }

    std::string lockFolderBefore;

    TestFolder locks;
    RecordingPresenter warnings;
    SerialLineTry lineTry{warnings};
};

TEST_F(FindTest, LockedAndBusyDevicesAreSkippedAndTheProgrammerFoundBehindThem) {
    TestFolder files;
    files.write("A.tiv", tagDataFile("data"));
    files.write("B.tiv", tagDataFile("data"));
    SimulatorOptions options;
    options.files = files.path();
    options.log = [](const std::string&) {};
    options.line = LinePace{9600, 'O', 2};
    options.seed = simulatorSeed();
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;
    const std::string device = programmer.devicePath();
    // Locked: another program's lock file names a process that is alive (our parent).
    PtyPair lockedLine;
    const std::string pid = std::to_string(::getppid());
    locks.write(PortLock::lockFileName(lockedLine.devicePath()),
                std::string(10 - pid.size(), ' ') + pid + "\n");
    // Busy: another program holds it with flock, as terminal programs do, and no lock file.
    PtyPair busyLine;
    const UniqueFd holder(::open(busyLine.devicePath().c_str(), O_RDWR | O_NOCTTY));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);

    ProgrammerSearch finder(lineTry,
                            SearchCandidates(PortScanner(), locks.path().string())
                                .named({lockedLine.devicePath(), busyLine.devicePath(), device}),
                            searchOrder(kDefaultLine));
    SearchProgress lastProgress;
    finder.onProgress([&lastProgress](const SearchProgress& step) { lastProgress = step; });
    std::optional<SearchResult> ended;
    finder.onFinished([&ended](const SearchResult& result) { ended = result; });
    finder.start();
    ASSERT_TRUE(waitUntil([&ended] { return ended.has_value(); }, 120000));
    const SearchResult& result = *ended;
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->devicePath, device);
    EXPECT_EQ(result.found->line, (LineSettings{9600, 'O', 2}));
    EXPECT_EQ(result.found->fileCount, 2);
    ASSERT_EQ(result.devices.size(), 3u);
    ASSERT_TRUE(result.devices[0].skipped);
    EXPECT_EQ(result.devices[0].skipped->id, TextId::PortBusyWithHolder);
    EXPECT_EQ(result.devices[0].tries, 0u);
    ASSERT_TRUE(result.devices[1].skipped);
    EXPECT_EQ(result.devices[1].tries, 1u);
    EXPECT_EQ(result.devices[1].skipped->arguments.at(0), busyLine.devicePath());
    // The busy device's other settings count as passed over.
    const std::vector<LineSettings> order = searchOrder(kDefaultLine);
    const auto foundAt = std::find(order.begin(), order.end(), LineSettings{9600, 'O', 2});
    EXPECT_EQ(lastProgress.tryNumber, 24u + static_cast<std::size_t>(foundAt - order.begin()) + 1);
}

// A cancel ends the search at once, mid-try: the device is closed and unlocked, and the
// try is logged as cancelled.
TEST_F(FindTest, ACancelEndsTheSearchMidTryAndFreesTheDevice) {
    PtyPair silentLine;
    ProgrammerSearch finder(
        lineTry,
        SearchCandidates(PortScanner(), locks.path().string()).named({silentLine.devicePath()}),
        searchOrder(kDefaultLine));
    std::optional<SearchResult> ended;
    finder.onFinished([&ended](const SearchResult& result) { ended = result; });
    bool cancelled = false;
    finder.onProgress([&](const SearchProgress& step) {
        if (step.tryNumber == 2 && !cancelled) {
            cancelled = true;
            QTimer::singleShot(20, [&finder] { finder.cancel(); });
        }
    });
    finder.start();
    ASSERT_TRUE(waitUntil([&ended] { return ended.has_value(); }, 10000));
    EXPECT_TRUE(ended->cancelled);
    EXPECT_EQ(ended->devices.at(0).tries, 2u);
    EXPECT_EQ(locks.listing(), "");
}

TEST(FindConsoleTest, TheConsolesOfTheSystemAreNamedFromSysfsAndProcAndNeverTried) {
    TestFolder root;
    std::filesystem::create_directories(root.path() / "sys/class/tty/console");
    std::filesystem::create_directories(root.path() / "proc");
    root.write("sys/class/tty/console/active", "tty0 ttyS0\n");
    root.write("proc/consoles",
               "ttyS0                -W- (EC  p a)    4:64\nttyUSB3  -W- (E) 188:3\n");
    const PortScanner scanner(root.path());
    const SearchCandidates candidates(scanner, root.path().string());
    EXPECT_EQ(candidates.consoleNames(), (std::set<std::string>{"tty0", "ttyS0", "ttyUSB3"}));
    for (const SearchCandidate& candidate : candidates.named({"/dev/ttyS0", "/dev/ttyUSB3"})) {
        ASSERT_TRUE(candidate.skipped) << candidate.devicePath;
        EXPECT_EQ(candidate.skipped->id, TextId::FindSkippedConsole);
    }
}

}  // namespace
}  // namespace dravolin::test
