// The voska-sim program as a script would run it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pc_side.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

// `timeout` ends a program that does not end by itself, so a failing test cannot hang.
std::string command(const std::string& arguments) {
    return std::string("timeout 20 ") + VOSKA_SIM_PROGRAM + " " + arguments;
}

TEST(VoskaSimProgramTest, PrintsTheDevicePathServesItAndRefusesABadOptionAsAUsageError) {
    TestFolder folder;
    FILE* output =
        ::popen(command("--files " + folder.path().string() + " --hangup-after 4").c_str(), "r");
    ASSERT_NE(output, nullptr);
    char line[256] = {};
    EXPECT_NE(std::fgets(line, sizeof line, output), nullptr);
    {
        const PcSide pc(std::string(line, std::strcspn(line, "\n")));
        EXPECT_EQ(pc.exchange(directoryRequest(), 2), bytesOf("00"));
        pc.send(goAhead());
        EXPECT_TRUE(pc.waitForHangup());
    }

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
