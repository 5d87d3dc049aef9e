// The voska-sim program as a script would run it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "pc_side.h"
#include "sim/unique_fd.h"
#include "test_folder.h"

extern char** environ;

namespace dravolin::test {
namespace {

using Clock = std::chrono::steady_clock;

// One run of the program with its standard output and error on pipes.
class ProgramRun {
public:
    explicit ProgramRun(std::vector<std::string> arguments) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "cannot make pipes";
            return;
        }
        stdout_.reset(out[0]);
        stderr_.reset(err[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        arguments.insert(arguments.begin(), VOSKA_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, VOSKA_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
            ADD_FAILURE() << "cannot start " << VOSKA_SIM_PROGRAM;
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
    }

    ~ProgramRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // The first line on standard output, without its end.
    std::string firstLine() const {
        std::string line;
        char c = 0;
        while (waitReadable(stdout_.get()) && ::read(stdout_.get(), &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }

    void signal(int number) const { ::kill(pid_, number); }

    // The exit status, or -1 when the program does not end within the patience.
    int exitStatus() {
        const auto deadline = Clock::now() + PcSide::kPatience;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10'000);
        }
        return -1;
    }

    // Everything on a stream once the program has ended.
    std::string allOf(const UniqueFd& stream) const {
        std::string text;
        char chunk[1024];
        ssize_t n = 0;
        while ((n = ::read(stream.get(), chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }
    std::string standardOutput() const { return allOf(stdout_); }
    std::string standardError() const { return allOf(stderr_); }

private:
    static bool waitReadable(int fd) {
        pollfd in{fd, POLLIN, 0};
        return ::poll(&in, 1, 5000) > 0;
    }

    pid_t pid_ = -1;
    UniqueFd stdout_;
    UniqueFd stderr_;
};

TEST(VoskaSimProgramTest, PrintsTheDeviceServesItAndEndsCleanlyOnSigterm) {
    TestFolder folder;
    folder.write("TAG00001.tiv", tagDataFile("abc"));
    const auto link = folder.path() / "voska";
    ProgramRun run({"--files", folder.path().string(), "--link", link.string()});

    const std::string device = run.firstLine();
    ASSERT_FALSE(device.empty());
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0) << device;
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
    {
        const PcSide pc(device);
        EXPECT_EQ(pc.exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
        EXPECT_EQ(pc.exchange(goAhead(), fileReplyLength(3)).size(), fileReplyLength(3));
    }

    run.signal(SIGTERM);
    EXPECT_EQ(run.exitStatus(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link outlived the program";
}

TEST(VoskaSimProgramTest, EndsByItselfAfterTheHangup) {
    TestFolder folder;
    ProgramRun run({"--files", folder.path().string(), "--hangup-after", "4"});
    const std::string device = run.firstLine();
    ASSERT_FALSE(device.empty());
    {
        const PcSide pc(device);
        EXPECT_EQ(pc.exchange(directoryRequest(), 2), bytesOf("00"));
        pc.send(goAhead());
        EXPECT_TRUE(pc.waitForHangup());
    }

    EXPECT_EQ(run.exitStatus(), 0);
    EXPECT_NE(run.standardError().find("4 bytes of the directory reply"), std::string::npos);
}

TEST(VoskaSimProgramTest, ABadOptionIsAUsageError) {
    ProgramRun run({"--files", "/tmp", "--pace", "fast"});

    EXPECT_EQ(run.exitStatus(), 2);
    const std::string message = run.standardError();
    EXPECT_NE(message.find("--pace"), std::string::npos) << message;
    EXPECT_NE(message.find("--help"), std::string::npos) << message;
    EXPECT_EQ(run.standardOutput(), "");
}

TEST(VoskaSimProgramTest, AMissingFolderEndsWithStatusOne) {
    TestFolder folder;
    ProgramRun run({"--files", (folder.path() / "missing").string()});

    EXPECT_EQ(run.exitStatus(), 1);
    EXPECT_NE(run.standardError().find("missing"), std::string::npos);
}

TEST(VoskaSimProgramTest, HelpGoesToStandardOutput) {
    ProgramRun run({"--help"});

    EXPECT_EQ(run.exitStatus(), 0);
    EXPECT_NE(run.standardOutput().find("Usage: voska-sim --files DIR"), std::string::npos);
}

}  // namespace
}  // namespace dravolin::test
