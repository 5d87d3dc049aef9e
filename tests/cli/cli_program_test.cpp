#include <gtest/gtest.h>

#include <QProcess>

#include <memory>

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

    // `locale` holds LC_ALL, LC_MESSAGES and LANG for the run; by default all unset.
    CliRun cli(QStringList arguments, bool withDevice = true, QStringList locale = {}) {
        if (withDevice) {
            arguments.prepend(QString::fromStdString(sim->devicePath()));
            arguments.prepend("--device");
        }
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString localeVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
        for (int i = 0; i < 3; ++i) {
            environment.remove(localeVariables[i]);
            if (i < locale.size() && !locale[i].isEmpty()) {
                environment.insert(localeVariables[i], locale[i]);
            }
        }
        process.setProcessEnvironment(environment);
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

// The closing line keeps its form; its text follows the language the locale or
// --language chooses.
TEST_F(CliProgram, FailureTextFollowsTheChosenLanguage) {
    const std::string german =
        "dravolin-cli: N: Fehler bei der Kommunikation: Gerät antwortet nicht. Bitte "
        "Schnittstelle überprüfen!\n";
    const std::string english =
        "dravolin-cli: N: Communication error: Device not responding. Please check interface!\n";
    const QStringList noDevice = {"--device", "/nonexistent/tty", "list"};
    const std::pair<QStringList, std::string> byLocale[] = {
        {{"", "", "de_DE.UTF-8"}, german},
        {{"de_CH.UTF-8", "C", "C"}, german},
        {{"C.UTF-8", "", "de_DE.UTF-8"}, english},
        {{"", "en_GB.UTF-8", "de_DE.UTF-8"}, english},
    };
    for (const auto& [locale, line] : byLocale) {
        const CliRun run = cli(noDevice, false, locale);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.ends_with(line)) << locale.join('|').toStdString() << "\n" << run.err;
    }
    QStringList askGerman = noDevice;
    askGerman.prepend("de");
    askGerman.prepend("--language");
    EXPECT_TRUE(cli(askGerman, false).err.ends_with(german));
    QStringList askEnglish = noDevice;
    askEnglish.prepend("en");
    askEnglish.prepend("--language");
    EXPECT_TRUE(cli(askEnglish, false, {"de_DE.UTF-8"}).err.ends_with(english));
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
