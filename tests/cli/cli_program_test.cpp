#include <gtest/gtest.h>

#include <signal.h>

#include <QProcess>

#include <chrono>
#include <memory>
#include <thread>

#include "sim/simulated_programmer.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// dravolin-cli as a script would run it, against the simulated programmer.
class CliProgram : public ::testing::Test {
protected:
    void startProgrammer() {
        simOptions.files = programmer.path();
        sim = std::make_unique<SimulatedProgrammer>(simOptions);
        std::string error;
        ASSERT_TRUE(sim->start(error)) << error;
    }

    CliRun cli(QStringList arguments, bool withDevice = true) {
        if (withDevice) {
            arguments.prepend(QString::fromStdString(sim->devicePath()));
            arguments.prepend("--device");
        }
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(pc.path().string()));
        process.start(DRAVOLIN_CLI_PROGRAM, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    TestFolder programmer;
    TestFolder pc;
    SimulatorOptions simOptions;
    std::unique_ptr<SimulatedProgrammer> sim;
};

TEST_F(CliProgram, ListPrintsOneNameALine) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    programmer.write("B.tiv", tagDataFile("b"));
    startProgrammer();
    const CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "B\nTAG00001\n");
}

TEST_F(CliProgram, ListOfAnEmptyProgrammerSaysSo) {
    startProgrammer();
    const CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No file saved!"), std::string::npos) << run.err;
}

TEST_F(CliProgram, GetWritesTheFileNamedOrTheDefaultOne) {
    programmer.write("TAG00001.tiv", tagDataFile("payload"));
    startProgrammer();
    CliRun run = cli({"get", "TAG00001", "-o", "copy.tiv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pc.read("copy.tiv"), tagDataFile("payload"));
    EXPECT_NE(run.err.find("Data transmission successful"), std::string::npos) << run.err;

    run = cli({"get", "TAG00001"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pc.read("TAG00001.tiv"), tagDataFile("payload"));

    // The default name is not overwritten unasked.
    pc.write("TAG00001.tiv", "mine");
    run = cli({"get", "TAG00001"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("-o TAG00001.tiv"), std::string::npos) << run.err;
    EXPECT_EQ(pc.read("TAG00001.tiv"), "mine");
}

TEST_F(CliProgram, GetOfANameTheProgrammerDoesNotHoldFails) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    const CliRun run = cli({"get", "NOSUCH"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("dravolin-cli: R: Specified file does not exist!"), std::string::npos)
        << run.err;
}

TEST_F(CliProgram, UnsafeNameFromTheDeviceIsRefusedUnlessNamedWithO) {
    programmer.write("a..b.tiv", tagDataFile("x"));
    startProgrammer();
    CliRun run = cli({"get", "a..b"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("-o FILE"), std::string::npos) << run.err;
    EXPECT_EQ(pc.listing(), "");

    run = cli({"get", "a..b", "-o", "safe.tiv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pc.read("safe.tiv"), tagDataFile("x"));
}

TEST_F(CliProgram, PutSendsTheFileUnderItsDerivedName) {
    // 200 data bytes leave the programmer two seconds to confirm, however loaded the machine.
    pc.write("LANGERNAME.tiv", tagDataFile(std::string(200, 's')));
    startProgrammer();
    const CliRun run = cli({"put", "LANGERNAME.tiv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(programmer.read("NGERNAME.tiv"), tagDataFile(std::string(200, 's')));
}

TEST_F(CliProgram, PutOfAMalformedFileFailsWithDAndTheReason) {
    pc.write("BAD.tiv", "abcd0099short");
    startProgrammer();
    const CliRun run = cli({"put", "BAD.tiv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("announces 99 data bytes"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("dravolin-cli: D: Error when opening file!"), std::string::npos)
        << run.err;
    EXPECT_TRUE(sim->receivedFrames().empty());
}

TEST_F(CliProgram, RefusalByTheProgrammerGivesItsLetterAndText) {
    pc.write("NEW.tiv", tagDataFile("x"));
    simOptions.answers[DeviceCommand::Announce] = 'S';
    startProgrammer();
    const CliRun run = cli({"put", "NEW.tiv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("dravolin-cli: S: Voska Programmer memory full!"), std::string::npos)
        << run.err;
}

TEST_F(CliProgram, NoDeviceBehindThePortEndsWithNAndSaysWhy) {
    const CliRun run = cli({"--device", "/nonexistent/tty", "list"}, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("dravolin-cli: N: Communication error: Device not responding. Please "
                           "check interface!"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("/nonexistent/tty"), std::string::npos) << run.err;
}

TEST_F(CliProgram, SignalMidTransferLeavesNothingBehindAndFreesTheLine) {
    programmer.write("LARGE.tiv", tagDataFile(std::string(5000, 'l')));
    simOptions.pace = LinePace{9600, 'E', 1};  // the file reply would take almost six seconds
    startProgrammer();
    for (const auto& [stopSignal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(stopSignal);
        const std::size_t framesBefore = sim->receivedFrames().size();
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(pc.path().string()));
        process.start(DRAVOLIN_CLI_PROGRAM, {"--device", QString::fromStdString(sim->devicePath()),
                                             "get", "LARGE", "-o", "large.tiv"});
        ASSERT_TRUE(process.waitForStarted());
        // Mid-transfer: the programmer has taken the fetch's go-ahead and is replying.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sim->receivedFrames().size() < framesBefore + 4 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(sim->receivedFrames().size(), framesBefore + 4);
        ::kill(static_cast<pid_t>(process.processId()), stopSignal);
        ASSERT_TRUE(process.waitForFinished(30000));

        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), status);
        EXPECT_NE(process.readAllStandardError().indexOf("Cancelled"), -1);
        EXPECT_EQ(pc.listing(), "");  // no file, no temporary file
        // The line and its lock are free at once for the next command.
        const CliRun next = cli({"list"});
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_EQ(next.out, "LARGE\n");
    }
}

TEST_F(CliProgram, UsageErrorsExitWithTwoAndHelpWithZero) {
    CliRun run = cli({"--baud", "1200", "list"}, false);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("usage: dravolin-cli"), std::string::npos);
    run = cli({}, false);
    EXPECT_EQ(run.exitCode, 2);
    run = cli({"--help"}, false);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("get NAME [-o FILE]"), std::string::npos);
}

}  // namespace
}  // namespace dravolin::test
