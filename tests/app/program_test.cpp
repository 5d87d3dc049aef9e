#include <gtest/gtest.h>

#include <QProcess>

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

}  // namespace
