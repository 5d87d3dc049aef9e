#include <gtest/gtest.h>

#include <QProcess>

namespace {

// The program as a user starts it from a terminal; no display is needed for these arguments.
TEST(DravolinProgram, HelpSucceedsAndUnknownOptionsExitWithTwo) {
    const std::vector<std::pair<QStringList, int>> cases = {
        {{"--help"}, 0},         {{"--frobnicate"}, 2},
        {{"--port", "COM1"}, 2}, {{"--port=x=/dev/tty"}, 2},
        {{"file.tiv"}, 2},       {{"--language", "fr"}, 2}};
    for (const auto& [arguments, exitCode] : cases) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(DRAVOLIN_PROGRAM), arguments);
        ASSERT_TRUE(program.waitForFinished(60000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), exitCode) << arguments.join(' ').toStdString();
        // The usage line, on standard output for --help and on standard error otherwise.
        const QString usage = QString::fromUtf8(exitCode == 0 ? program.readAllStandardOutput()
                                                              : program.readAllStandardError());
        EXPECT_TRUE(usage.contains("usage: dravolin")) << usage.toStdString();
    }
}

}  // namespace
