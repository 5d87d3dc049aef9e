#include <gtest/gtest.h>

#include <signal.h>

#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

#include <filesystem>
#include <memory>

#include "serial/port_lock.h"
#include "sim/simulated_programmer.h"
#include "support/child_process.h"
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
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(pc.path().string()));
        process.start(DRAVOLIN_CLI_PROGRAM, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    // The settings and lock folders of this test alone.
    void SetUp() override {
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.path().string()));
        environment.insert("DRAVOLIN_LOCK_DIR", QString::fromStdString(locks.path().string()));
    }

    void saveSettings(const std::string& content) {
        std::filesystem::create_directories(config.path() / "dravolin");
        config.write("dravolin/dravolin.conf", content);
    }

    TestFolder programmer;
    TestFolder pc;
    TestFolder config;
    TestFolder locks;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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

TEST_F(CliProgram, PortsListsTheDevicesWithTheirComPortsAsTextOrJson) {
    startProgrammer();
    const QString mapping = "3=" + QString::fromStdString(sim->devicePath());
    CliRun run = cli({"--port", mapping, "ports"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(sim->devicePath() + "\t-\tpseudo-terminal\tCOM3\n"), std::string::npos)
        << run.out;
    // Every line has its four fields, whatever this machine has.
    for (const QString& line : QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts)) {
        EXPECT_EQ(line.count('\t'), 3) << line.toStdString();
    }

    run = cli({"--port", mapping, "ports", "--json"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out));
    ASSERT_TRUE(json.isArray()) << run.out;
    bool listed = false;
    for (const QJsonValue& device : json.array()) {
        if (device["path"].toString().toStdString() == sim->devicePath()) {
            listed = device["coms"].toArray() == QJsonArray({3});
        }
    }
    EXPECT_TRUE(listed) << run.out;
}

TEST_F(CliProgram, SavedSettingsAreUsedUnlessTheOptionsSayOtherwise) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    saveSettings("[line]\nport=2\nbaud=19200\n[ports]\ncom2=" + sim->devicePath() + "\n");
    CliRun run = cli({"list"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "TAG00001\n");
    run = cli({"ports"}, false);
    EXPECT_NE(run.out.find(sim->devicePath() + "\t-\tpseudo-terminal\tCOM2"), std::string::npos)
        << run.out;

    // An option overrides what was saved, for this run only.
    run = cli({"--port", "2=/nonexistent/ttyUSB5", "list"}, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("/nonexistent/ttyUSB5 does not exist"), std::string::npos) << run.err;
    EXPECT_NE(config.read("dravolin/dravolin.conf").find(sim->devicePath()), std::string::npos);

    run = cli({"--no-saved-settings", "ports"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find(sim->devicePath()), std::string::npos) << run.out;
}

TEST_F(CliProgram, ADamagedSettingsFileGivesOneWarningAndIsLeftAsItWas) {
    startProgrammer();
    const std::string damaged = "[line\n\x01\x02\n";
    saveSettings(damaged);
    const CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::size_t first = run.err.find("is damaged");
    EXPECT_NE(first, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("is damaged", first + 1), std::string::npos) << run.err;
    EXPECT_EQ(config.read("dravolin/dravolin.conf"), damaged);
}

TEST_F(CliProgram, ABusyPortNamesTheProgramThatHoldsIt) {
    startProgrammer();
    ChildProcess holder({"sleep", "600"});
    const std::string lockName = PortLock::lockFileName(sim->devicePath());
    locks.write(lockName, std::string(10 - std::to_string(holder.pid()).size(), ' ') +
                              std::to_string(holder.pid()) + "\n");
    const CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("dravolin-cli: " + sim->devicePath() +
                           " is busy: in use by sleep (pid " + std::to_string(holder.pid()) +
                           ")\n"
                           "dravolin-cli: N: "),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(sim->receivedFrames().empty());
}

TEST_F(CliProgram, ALockLeftByAKilledRunIsClearedByTheNextOne) {
    // The directory announces more names than come, so the first run waits long for them
    // with the port open and the programmer idle.
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    simOptions.countField = "0015";
    startProgrammer();
    const std::string lockName = PortLock::lockFileName(sim->devicePath());

    QFileSystemWatcher watcher({QString::fromStdString(locks.path().string())});
    QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(DRAVOLIN_CLI_PROGRAM,
                {"--device", QString::fromStdString(sim->devicePath()), "list"});
    ASSERT_TRUE(first.waitForStarted(10000));
    while (!locks.holds(lockName) && changed.wait(10000)) {
    }
    ASSERT_TRUE(locks.holds(lockName));
    EXPECT_EQ(PortLock::readHolder((locks.path() / lockName).string()), first.processId());
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(locks.holds(lockName)) << "a killed program cannot clean up";

    pc.write("NEW.tiv", tagDataFile(std::string(200, 'n')));
    const CliRun next = cli({"put", "NEW.tiv"});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(locks.listing(), "");
}

TEST_F(CliProgram, WithoutALockFolderThePortIsUsedAndThatIsSaidOnce) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    environment.insert("DRAVOLIN_LOCK_DIR",
                       QString::fromStdString((locks.path() / "missing").string()));
    const CliRun run = cli({"get", "TAG00001", "-o", "copy.tiv"});  // opens the port twice
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::size_t first = run.err.find("without a lock file");
    EXPECT_NE(first, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("without a lock file", first + 1), std::string::npos) << run.err;
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
    EXPECT_NE(run.out.find("~/.config/dravolin/dravolin.conf"), std::string::npos);
}

}  // namespace
}  // namespace dravolin::test
