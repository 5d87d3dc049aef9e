#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QProcess>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "serial/port_lock.h"
#include "sim/simulated_programmer.h"
#include "support/child_process.h"
#include "support/simulator_seed.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// dravolin-cli as a script runs it against the simulated programmer: what only the program
// does, one case of each kind; the machine's tables, the line and the window hold the rest.
class CliProgram : public ::testing::Test {
protected:
    // The settings, state and lock folders of this test alone, and no locale's language.
    void SetUp() override {
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.path().string()));
        environment.insert("XDG_STATE_HOME", QString::fromStdString(state.path().string()));
        environment.insert("DRAVOLIN_LOCK_DIR", QString::fromStdString(locks.path().string()));
        for (const char* locale : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            environment.remove(locale);
        }
    }

    void startProgrammer() {
        simOptions.files = programmer.path();
        simOptions.seed = simulatorSeed();
        sim = std::make_unique<SimulatedProgrammer>(simOptions);
        std::string error;
        ASSERT_TRUE(sim->start(error)) << error;
    }

    QStringList device() const { return {"--device", QString::fromStdString(sim->devicePath())}; }

    // The program on the programmer's device, or with these arguments alone.
    CliRun cli(const QStringList& arguments, bool withDevice = true) {
        return run(withDevice ? device() + arguments : arguments);
    }

    // Standard output to `outputFile` when given, or to a pipe whose reader has gone (`| head`).
    CliRun run(const QStringList& arguments, const QString& outputFile = {},
               bool closedPipe = false) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(pc.path().string()));
        if (!outputFile.isEmpty()) {
            process.setStandardOutputFile(outputFile);
        }
        int pipeEnds[2] = {-1, -1};
        if (closedPipe) {
            EXPECT_EQ(::pipe(pipeEnds), 0);
            ::close(pipeEnds[0]);
            // A closed pipe must be no signal to die of, whatever the parent ignores.
            process.setChildProcessModifier([writer = pipeEnds[1]] {
                ::signal(SIGPIPE, SIG_DFL);
                ::dup2(writer, STDOUT_FILENO);
            });
        }
        process.start(DRAVOLIN_CLI_PROGRAM, arguments);
        if (closedPipe) {
            ::close(pipeEnds[1]);
        }
        // Generous: a program that hangs fails here instead of holding up the suite.
        EXPECT_TRUE(process.waitForFinished(30000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << arguments.join(' ').toStdString();
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    // dravolin-cli on the programmer in the background, until it has taken `frames` frames.
    bool startUntilFrames(QProcess& process, const QStringList& arguments, std::size_t frames) {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(pc.path().string()));
        process.start(DRAVOLIN_CLI_PROGRAM, device() + arguments);
        if (!process.waitForStarted(10000)) {
            ADD_FAILURE() << "dravolin-cli did not start";
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sim->receivedFrames().size() < frames &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(sim->receivedFrames().size(), frames);
        return process.state() != QProcess::NotRunning && sim->receivedFrames().size() == frames;
    }

    TestFolder programmer;
    TestFolder pc;
    TestFolder backup;
    TestFolder config;
    TestFolder state;
    TestFolder locks;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    SimulatorOptions simOptions;
    std::unique_ptr<SimulatedProgrammer> sim;
};

// What list prints (a name a line, escaped where it would split lines or drive the terminal,
// its Latin-1 letters as letters), get takes, and saves under that name; the default NAME.tiv
// is only ever a new file, whatever is there (a link in a loop used to abort the program).
// A name the directory does not hold fails with R even when it is empty: a script must not
// take "No file saved!" for a fetched file. put says what became of each file.
TEST_F(CliProgram, ListGetAndPutSayWhatTheyDidAndRefuseWhatTheyMustNot) {
    startProgrammer();
    CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No file saved!"), std::string::npos) << run.err;
    run = cli({"get", "TAG00001"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.err.ends_with("dravolin-cli: R: Specified file does not exist!\n")) << run.err;
    // Without --language, the environment's language speaks.
    environment.insert("LANG", "de_DE.UTF-8");
    run = cli({"get", "TAG00001"});
    environment.remove("LANG");
    EXPECT_TRUE(run.err.ends_with("dravolin-cli: R: Angegebene Datei nicht vorhanden!\n"))
        << run.err;

    programmer.write("TAG00001.tiv", tagDataFile("a"));
    programmer.write("B.tiv", tagDataFile("b"));
    programmer.write("A\\B.tiv", tagDataFile("c"));
    programmer.write(
        "PR\xdc"
        "FUNG.tiv",
        tagDataFile("d"));
    run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "A\\\\B\nB\nPR\u00dc"
              "FUNG\nTAG00001\n");
    run = cli({"get", QString::fromUtf8("PR\u00dc"
                                        "FUNG")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pc.read("PR\u00dc"
                      "FUNG.tiv"),
              tagDataFile("d"));

    programmer.write("LOOP.tiv", tagDataFile("loop"));
    programmer.write("DANGLING.tiv", tagDataFile("dangling"));
    std::filesystem::create_symlink("LOOP.tiv", pc.path() / "LOOP.tiv");
    std::filesystem::create_symlink("elsewhere.tiv", pc.path() / "DANGLING.tiv");
    pc.write("TAG00001.tiv", "mine");
    for (const std::string name : {"TAG00001", "LOOP", "DANGLING"}) {
        run = cli({"get", QString::fromStdString(name)});
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(name + ".tiv exists already; give -o " + name + ".tiv"),
                  std::string::npos)
            << run.err;
    }
    run = cli({"--language", "de", "get", "TAG00001"});
    EXPECT_THAT(run.err, HasSubstr("TAG00001.tiv gibt es schon; mit -o TAG00001.tiv wird"));
    EXPECT_EQ(pc.read("TAG00001.tiv"), "mine");
    // A name with a backslash needs -o.
    run = cli({"get", "A\\\\B"});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("holds a path separator; name the file with -o FILE"));
    run = cli({"--language", "de", "get", "A\\\\B"});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Der Name ergibt keinen Dateinamen ("));
    EXPECT_THAT(run.err, HasSubstr("); mit -o DATEI einen angeben"));
    run = cli({"get", "A\\\\B", "-o", "b.tiv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Data transmission successful"), std::string::npos) << run.err;
    EXPECT_EQ(pc.read("b.tiv"), tagDataFile("c"));

    // 150 data bytes leave the programmer 1.5 s to confirm each, however loaded the machine.
    pc.write("GOOD1.tiv", tagDataFile(std::string(150, '1')));
    pc.write("BAD.tiv", "abcd0099short");
    pc.write("GOOD2.tiv", tagDataFile(std::string(150, '2')));
    run = cli({"put", "GOOD1.tiv", "BAD.tiv", "GOOD2.tiv"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const QStringList lines = QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out;
    EXPECT_EQ(lines[0].toStdString(), "GOOD1.tiv: stored in the programmer as GOOD1");
    EXPECT_TRUE(lines[1].startsWith("BAD.tiv: failed, D - Error when opening file! (")) << run.out;
    EXPECT_TRUE(lines[1].contains("announces 99 data bytes")) << run.out;
    EXPECT_EQ(lines[2].toStdString(), "GOOD2.tiv: stored in the programmer as GOOD2");
    // The file in hand is shown on a terminal only, not in a pipe.
    EXPECT_EQ(run.err.find("File 1 of 3"), std::string::npos) << run.err;
    EXPECT_EQ(programmer.read("GOOD1.tiv"), tagDataFile(std::string(150, '1')));
    EXPECT_EQ(programmer.read("GOOD2.tiv"), tagDataFile(std::string(150, '2')));
    EXPECT_FALSE(programmer.holds("BAD.tiv"));
    EXPECT_EQ(pc.listing(),
              "BAD.tiv DANGLING.tiv GOOD1.tiv GOOD2.tiv LOOP.tiv PR\u00dc"
              "FUNG.tiv TAG00001.tiv b.tiv");
}

// A log or trace file's rotation is the transfer log's own test (one rotating file serves both).
TEST_F(CliProgram, EveryExchangeIsLoggedLogPrintsTheLastLinesAndTheTraceGoesWhereAsked) {
    programmer.write("TAG00001.tiv", tagDataFile("payload"));
    startProgrammer();
    // Refused after the listing, because the file is there: a get that could not write.
    pc.write("TAG00001.tiv", "mine");
    EXPECT_EQ(cli({"get", "TAG00001"}).exitCode, 2);
    EXPECT_EQ(cli({"get", "TAG00001", "-o", "copy.tiv"}).exitCode, 0);
    EXPECT_EQ(cli({"get", "MISSING"}).exitCode, 1);

    const CliRun all = cli({"log"}, false);
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.err, "");
    const QStringList lines = QString::fromStdString(all.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << all.out;
    EXPECT_THAT(lines[0].toStdString(), AllOf(HasSubstr("\tfunction=get\t"),
                                              HasSubstr("\tname=TAG00001\tbytes=0\toutcome=D\t")));
    EXPECT_THAT(lines[1].toStdString(), AllOf(HasSubstr("\tprogram=dravolin-cli\tfunction=get\t"),
                                              HasSubstr("\tname=TAG00001\tbytes=15\toutcome=0\t")));
    // A name the programmer does not hold is a get that failed, not a listing.
    EXPECT_THAT(lines[2].toStdString(), AllOf(HasSubstr("\tfunction=get\t"),
                                              HasSubstr("\tname=MISSING\tbytes=0\toutcome=R\t")));
    const CliRun last = cli({"log", "-n", "2"}, false);
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(last.out, (lines[1] + '\n' + lines[2] + '\n').toStdString());

    const CliRun toErr = cli({"--trace", "list"});
    EXPECT_EQ(toErr.exitCode, 0) << toErr.err;
    // Byte 0 of the status reply is the programmer's own, whatever it is.
    EXPECT_THAT(toErr.err, AllOf(HasSubstr(" PC>DEV 44 44\n"),
                                 ContainsRegex(" DEV>PC [0-9A-F][0-9A-F] 30\n")));

    pc.write("trace.txt", "kept\n");
    const CliRun toFile = cli({"--trace=trace.txt", "get", "TAG00001", "-o", "traced.tiv"});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_THAT(toFile.err, Not(HasSubstr("PC>DEV")));
    EXPECT_THAT(pc.read("trace.txt"),
                AllOf(StartsWith("kept\n"), HasSubstr(" PC>DEV 47 54 41 47 30 30 30 30 31")));

    // One that cannot be written is warned of once, and the exchange goes on.
    const CliRun unwritten = cli({"--trace=/dev/full", "get", "TAG00001", "-o", "full.tiv"});
    EXPECT_EQ(unwritten.exitCode, 0) << unwritten.err;
    EXPECT_EQ(QString::fromStdString(unwritten.err)
                  .count("dravolin-cli: The protocol trace /dev/full cannot be written: No space "
                         "left on device."),
              1)
        << unwritten.err;
    EXPECT_EQ(pc.read("full.tiv"), tagDataFile("payload"));

    const CliRun refused = cli({"--trace=no-such-folder/trace.txt", "list"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.err,
                HasSubstr("cannot write the protocol trace to no-such-folder/trace.txt: "));
    EXPECT_EQ(refused.out, "");
}

// A write error on standard output, a closed pipe's too, fails with 1 and a message.
TEST_F(CliProgram, UsageHelpVersionAndAWriteErrorOnStandardOutput) {
    CliRun run = cli({"--baud", "1200", "list"}, false);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("usage: dravolin-cli"));
    run = cli({"--help"}, false);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, HasSubstr("\\xHH")) << "the escaped form is explained";
    run = cli({"--version"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "dravolin-cli " DRAVOLIN_VERSION "\n");

    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    for (const QStringList& arguments :
         {device() + QStringList{"list"}, QStringList{"--help"}, QStringList{"--version"}}) {
        run = this->run(arguments, "/dev/full");
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_THAT(run.err, HasSubstr("cannot write to standard output: No space left on device"));
        const CliRun piped = this->run(arguments, {}, true);
        EXPECT_EQ(piped.exitCode, 1) << piped.err;
        EXPECT_THAT(piped.err, HasSubstr("cannot write to standard output: Broken pipe"));
    }
}

// How options override saved settings is the options' test; the program never writes them.
TEST_F(CliProgram, SavedSettingsAreUsedUnlessTheOptionsSayOtherwise) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    std::filesystem::create_directories(config.path() / "dravolin");
    config.write("dravolin/dravolin.conf",
                 "[line]\nport=2\nbaud=19200\n[ports]\ncom2=" + sim->devicePath() + "\n");
    CliRun run = cli({"list"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "TAG00001\n");
    run = cli({"ports"}, false);
    EXPECT_THAT(run.out, HasSubstr(sim->devicePath() + "\t-\tpseudo-terminal\tCOM2"));

    run = cli({"--no-saved-settings", "ports"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, Not(HasSubstr(sim->devicePath())));

    // A damaged file gives one warning.
    config.write("dravolin/dravolin.conf", "[line\n\x01\x02\n");
    run = cli({"list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(QString::fromStdString(run.err).count("is damaged"), 1) << run.err;
}

// Any user can plant a lock naming a process named with escape sequences: it is shown escaped.
TEST_F(CliProgram, ABusyPortNamesItsHolderEscaped) {
    startProgrammer();
    const std::string hostile = "\x1b]0;x\a\x1b[2J";
    std::filesystem::create_symlink("/bin/sleep", pc.path() / hostile);
    ChildProcess holder({(pc.path() / hostile).string(), "600"});
    const std::string pid = std::to_string(holder.pid());
    locks.write(PortLock::lockFileName(sim->devicePath()),
                std::string(10 - pid.size(), ' ') + pid + "\n");
    CliRun run = cli({"list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("dravolin-cli: " + sim->devicePath() +
                                   " is busy: in use by \\x1b]0;x\\x07\\x1b[2J (pid " + pid +
                                   ")\ndravolin-cli: N: "));
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_TRUE(sim->receivedFrames().empty());
}

// A stop signal mid-run keeps the files the run saved, leaves no part of the one on its
// way, and gives the line and its lock back.
TEST_F(CliProgram, ASignalMidRunKeepsWhatItSavedAndLeavesNothingElse) {
    programmer.write("LARGE.tiv", tagDataFile(std::string(5000, 'l')));
    simOptions.pace = LinePace{9600, 'E', 1};  // the file reply would take almost six seconds
    programmer.write("AAA.tiv", tagDataFile("small"));
    programmer.write("ZZZ.tiv", tagDataFile("never fetched"));
    startProgrammer();
    // The listing and the small fetch take two frames each; LARGE's reply is on its way once
    // its go-ahead has come.
    QProcess backupRun;
    ASSERT_TRUE(startUntilFrames(
        backupRun, {"get", "--all", "-d", QString::fromStdString(backup.path().string())}, 6));
    ::kill(static_cast<pid_t>(backupRun.processId()), SIGINT);
    ASSERT_TRUE(backupRun.waitForFinished(30000));
    EXPECT_EQ(backupRun.exitCode(), 130);
    const std::string folder = backup.path().string();
    EXPECT_EQ(backupRun.readAllStandardOutput().toStdString(),
              "AAA: saved as " + folder + "/AAA.tiv\nLARGE: cancelled, nothing saved\n" +
                  "ZZZ: not transferred\n");
    EXPECT_EQ(backup.listing(), "AAA.tiv");
    EXPECT_EQ(backup.read("AAA.tiv"), tagDataFile("small"));
    EXPECT_EQ(locks.listing(), "");
}

// The programmer goes away inside the file reply, after the listing came whole: the get
// names the device gone and saves nothing.
TEST_F(CliProgram, AProgrammerGoneInsideTheFileReplyLeavesNothingSaved) {
    programmer.write("TAG00001.tiv", tagDataFile(std::string(300, 'x')));
    simOptions.hangupAfter = HangupPoint{DataReply::File, 100};
    startProgrammer();
    const CliRun run = cli({"get", "TAG00001"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("The device " + sim->devicePath() + " has gone."));
    EXPECT_THAT(sim->stateMessage(), HasSubstr("after 100 bytes of the file reply"));
    EXPECT_EQ(pc.listing(), "");
}

TEST_F(CliProgram, ARunStopsWhenTheProgrammerStopsAnswering) {
    for (const char* name : {"A.tiv", "B.tiv", "C.tiv"}) {
        programmer.write(name, tagDataFile("x"));
    }
    simOptions.silentPhases.insert(DevicePhase::FetchStatus);
    startProgrammer();
    const CliRun run = cli({"get", "--all", "-d", QString::fromStdString(backup.path().string())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "A: failed, N - Communication error: Device not responding. Please check "
              "interface!\nB: not transferred\nC: not transferred\n");
    // One fetch waited for its time-out; the others were never asked for.
    const auto frames = sim->receivedFrames();
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                            [](const Bytes& frame) { return !frame.empty() && frame[0] == 'G'; }),
              1);
}

// Whatever the programmer puts where the PC does not look (status byte 0, the free bytes of
// the directory, a file's own header bytes 0 to 3), list, get and put work and files cross
// byte for byte; a name goes out in Latin-1 as it is listed, or is refused before anything
// is sent; any letter is the programmer's, printable or not.
TEST_F(CliProgram, ThePcReliesOnlyOnTheBytesTheProtocolFixes) {
    const std::string stored = tagDataFile("hello", std::string("\x00\xFF\x1B\x80", 4));
    programmer.write("TAG00001.tiv", stored);
    pc.write("Tür.tiv", tagDataFile("sent",
                                    "\xFE\x01"
                                    "ab"));
    for (const std::uint8_t statusByte : {0x00, 0x06, 0x78, 0xFF}) {
        SCOPED_TRACE(statusByte);
        simOptions.statusByte = statusByte;
        startProgrammer();
        CliRun run = cli({"list"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "TAG00001\n");
        run = cli({"get", "TAG00001", "-o", "got.tiv"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(pc.read("got.tiv"), stored);
        run = cli({"put", "Tür.tiv"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(programmer.read("T\xFC"
                                  "r.tiv"),
                  pc.read("Tür.tiv"));
        EXPECT_EQ(sim->receivedFrames().back()[0], kStx);
        const Bytes announcement = sim->receivedFrames().end()[-2];
        EXPECT_EQ(Bytes(announcement.begin() + 1, announcement.begin() + 9), bytesOf("T\xFC"
                                                                                     "r     "));
        sim->stop();
        std::filesystem::remove(programmer.path() /
                                "T\xFC"
                                "r.tiv");
    }
    simOptions = SimulatorOptions{};
    pc.write("Euro€.tiv", tagDataFile("never sent"));
    simOptions.answers[DeviceCommand::Directory] = '\x07';
    startProgrammer();
    CliRun run = cli({"put", "Euro€.tiv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("Euro€.tiv cannot be sent: its name holds € (U+20AC)"));
    EXPECT_TRUE(sim->receivedFrames().empty());
    run = cli({"list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("dravolin-cli: 0x07: Error - data transmission not successful"));
}

// find: the device, settings and files on stdout, or in JSON (also for more files than a
// list holds); what was tried on stderr when nothing answered, and the letters that came
// back instead of a directory.
TEST_F(CliProgram, FindPrintsWhereTheProgrammerAnswersOrWhatWasTried) {
    for (int file = 1; file <= 16; ++file) {
        programmer.write("F" + std::to_string(file) + ".tiv", tagDataFile("a"));
    }
    simOptions.line = LinePace{19200, 'O', 2};
    simOptions.statusByte = 0x06;
    startProgrammer();
    const QString device = QString::fromStdString(sim->devicePath());
    CliRun run = cli({"--no-saved-settings", "find", "--device", device}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, sim->devicePath() + "\t19200,O,2\t16\n");
    run = cli({"--baud", "19200", "--parity", "O", "--stop-bits", "2", "find", "--device", device,
               "--json"},
              false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"found\":true"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"parity\":\"O\""), std::string::npos) << run.out;
    // Each search is one line of the log, however many settings it tried.
    const auto logLines = [this] {
        return QString::fromStdString(cli({"log", "-n", "1000"}, false).out)
            .split('\n', Qt::SkipEmptyParts);
    };
    QStringList logged = logLines();
    ASSERT_EQ(logged.size(), 2) << logged.join('\n').toStdString();
    EXPECT_THAT(
        logged[1].toStdString(),
        AllOf(HasSubstr("\tfunction=find\tdevice=" + sim->devicePath() + "\tline=19200,O,8,2\t"),
              HasSubstr("\toutcome=0\t"), EndsWith("\ttried=" + sim->devicePath() + ":1")));

    // Noise at every other setting, a refusal at its own: no programmer, but its letter.
    sim->stop();
    simOptions.answers[DeviceCommand::Directory] = 'X';
    simOptions.noisePercent = 100;
    startProgrammer();
    run =
        cli({"--no-saved-settings", "find", "--device", QString::fromStdString(sim->devicePath())},
            false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No programmer answered."), std::string::npos) << run.err;
    // Every setting once; a try whose short first wait ended before the noise came (a slow
    // machine) is tried again in the second pass.
    EXPECT_THAT(run.err, ContainsRegex(sim->devicePath() + ": [0-9]+ settings tried, no answer"));
    EXPECT_THAT(run.err, ContainsRegex(sim->devicePath() +
                                       " answered without a directory: .*X at 19200,O,2"));
    // A search that found nothing is one line too: the first device and setting asked, the
    // letter of no response, and the 24 settings tried in the first pass.
    logged = logLines();
    ASSERT_EQ(logged.size(), 3) << logged.join('\n').toStdString();
    EXPECT_THAT(
        logged[2].toStdString(),
        AllOf(HasSubstr("\tfunction=find\tdevice=" + sim->devicePath() + "\tline=9600,E,8,1\t"),
              HasSubstr("\toutcome=N\t"),
              ContainsRegex("\ttried=" + sim->devicePath() + ":24(\\+[0-9]+)?$")));

    // A reply that stops short points to the command that finds the programmer.
    sim->stop();
    simOptions = SimulatorOptions{};
    simOptions.truncate[DataReply::Directory] = 10;
    startProgrammer();
    run = cli({"--no-saved-settings", "list"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("probably differ: run dravolin-cli find."));
}
}  // namespace
}  // namespace dravolin::test
