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

TEST(DravolinProgram, HelpAndVersionSucceedUsageErrorsExitWithTwoAndAWriteErrorFails) {
    const std::vector<std::pair<QStringList, int>> cases = {
        {{"--help"}, 0},
        {{"--frobnicate"}, 2},
        {{"--language=de", "--language=en"}, 2},
    };
    for (const auto& [arguments, exitCode] : cases) {
        const ProgramRun run = runProgram(arguments);
        EXPECT_EQ(run.exitCode, exitCode) << arguments.join(' ').toStdString();
        // The usage line, on standard output for --help and on standard error otherwise.
        const QString usage = exitCode == 0 ? run.out : run.err;
        EXPECT_TRUE(usage.contains("usage: dravolin")) << usage.toStdString();
    }

    const ProgramRun version = runProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, "dravolin " DRAVOLIN_VERSION "\n");

    for (const char* option : {"--version", "--help"}) {
        const ProgramRun full = runProgram({option}, "/dev/full");
        EXPECT_EQ(full.exitCode, 1) << option;
        EXPECT_TRUE(full.err.contains("cannot write to standard output")) << full.err.toStdString();
    }
}

}  // namespace
