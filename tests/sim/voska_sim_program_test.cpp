// The voska-sim program as a script would run it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/pty_pair.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

// `timeout` ends a program that does not end by itself, so a failing test cannot hang.
std::string command(const std::string& arguments) {
    return std::string("timeout 20 ") + VOSKA_SIM_PROGRAM + " " + arguments;
}

TEST(VoskaSimProgramTest, PrintsTheDevicePathServesItAndRefusesABadOptionAsAUsageError) {
    TestFolder folder;
    PtyPair pc;  // the PC's end; the program serves the other
    ASSERT_TRUE(pc.valid());
    FILE* output = ::popen(command("--files " + folder.path().string() + " --serve " +
                                   pc.devicePath() + " --hangup-after 4")
                               .c_str(),
                           "r");
    ASSERT_NE(output, nullptr);
    char line[256] = {};
    EXPECT_NE(std::fgets(line, sizeof line, output), nullptr);
    EXPECT_EQ(std::string(line, std::strcspn(line, "\n")), pc.devicePath());
    const Bytes request = directoryRequest();
    ASSERT_TRUE(pc.send(std::string(request.begin(), request.end())));
    EXPECT_EQ(pc.receive(2, 5000), "00");
    const Bytes go = goAhead();
    ASSERT_TRUE(pc.send(std::string(go.begin(), go.end())));

    // After the hang-up it was asked for, the program ends by itself, successfully.
    const int status = ::pclose(output);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // A bad option is a usage error, told apart from a failure to serve.
    const int usage = std::system(command("--files /tmp --pace fast 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(usage));
    EXPECT_EQ(WEXITSTATUS(usage), 2);
}

}  // namespace
}  // namespace dravolin::test
