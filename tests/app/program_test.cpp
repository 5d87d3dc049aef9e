#include <gtest/gtest.h>

#include <QProcess>

#include <signal.h>
#include <unistd.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program as a user starts it from a terminal; no display is needed for these arguments.
ProgramRun runProgram(const QStringList& arguments, const QString& outputFile = {}) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(environment);
    if (!outputFile.isEmpty()) {
        program.setStandardOutputFile(outputFile);
    }
    program.start(QStringLiteral(DRAVOLIN_PROGRAM), arguments);
    EXPECT_TRUE(program.waitForFinished(60000)) << arguments.join(' ').toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

// --help is the manual page test's (ManualPage.dravolinDescribesEveryOption).
TEST(DravolinProgram, VersionSucceedsAUsageErrorExitsWithTwoAndAWriteErrorFails) {
    const ProgramRun version = runProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, "dravolin " DRAVOLIN_VERSION "\n");

    const ProgramRun twice = runProgram({"--language=de", "--language=en"});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_TRUE(twice.err.contains("usage: dravolin")) << twice.err.toStdString();

    for (const char* option : {"--version", "--help"}) {
        const ProgramRun full = runProgram({option}, "/dev/full");
        EXPECT_EQ(full.exitCode, 1) << option;
        EXPECT_TRUE(full.err.contains("cannot write to standard output")) << full.err.toStdString();
    }
}

// Standard error is a pipe whose reader has gone, and the program is told of a trace it
// cannot write there: the write fails, and the program ends as it would with a reader, not
// killed by the broken pipe. (An operator saw the window vanish with a trace this way.)
TEST(DravolinProgram, AStandardErrorWhoseReaderHasGoneEndsNothing) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    // A closed pipe must be no signal to die of, whatever the parent ignores.
    program.setChildProcessModifier([writer = pipeEnds[1]] {
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(writer, STDERR_FILENO);
    });
    program.start(QStringLiteral(DRAVOLIN_PROGRAM),
                  {QStringLiteral("--trace=/nonexistent-folder/trace.log")});
    ::close(pipeEnds[1]);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
}

}  // namespace
