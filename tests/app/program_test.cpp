#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runProgram(const QStringList& arguments) {
    QProcess program;
    // No display is needed for what these arguments do.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(DRAVOLIN_PROGRAM), arguments);
    Outcome outcome;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return outcome;
    }
    outcome.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    outcome.out = QString::fromUtf8(program.readAllStandardOutput());
    outcome.err = QString::fromUtf8(program.readAllStandardError());
    return outcome;
}

TEST(DravolinProgram, HelpPrintsUsageAndSucceeds) {
    const Outcome outcome = runProgram({"--help"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.out.startsWith("usage: dravolin [--port N=PATH]..."));
    EXPECT_TRUE(outcome.err.isEmpty());
}

TEST(DravolinProgram, UnknownOptionPrintsAUsageLineAndExitsWithTwo) {
    for (const QStringList& arguments :
         {QStringList{"--frobnicate"}, QStringList{"--port"}, QStringList{"--port", "COM1"}}) {
        const Outcome outcome = runProgram(arguments);
        EXPECT_EQ(outcome.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.err.contains("usage: dravolin")) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.out.isEmpty());
    }
}

}  // namespace
