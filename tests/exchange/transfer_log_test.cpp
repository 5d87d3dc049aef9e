#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exchange/transfer_log.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

TEST(TransferLogLine, NamesWithTabsLineBreaksAndBackslashesStayInTheirField) {
    ExchangeRecord record;
    record.function = ExchangeRecord::Function::Put;
    record.line = {.baudRate = 57600, .parity = 'N', .stopBits = 2};
    record.devicePath =
        "/dev/ttyUSB\xc2\x9b"
        "0";  // a C1 CSI in UTF-8
    record.pcPath = "/tmp/\xc3\xa4\tb\nc\\d.tiv";
    record.deviceName = std::string("\xc4X\x1b[2J") + "  ";  // padded as the device sends it
    record.fileBytes = 10007;
    record.outcome = '\x01';
    record.duration = std::chrono::milliseconds(1923);

    // The device path escaped, the PC's in UTF-8, the device's name in Latin-1 and trimmed.
    const std::string line = TransferLog::formatLine("dravolin", record);
    EXPECT_EQ(line.substr(line.find('\t')),
              "\tprogram=dravolin\tfunction=put\tdevice=/dev/ttyUSB\\xc2\\x9b0\tline=57600,N,8,2"
              "\tpc=/tmp/\u00e4\\x09b\\x0ac\\\\d.tiv\tname=\u00c4X\\x1b[2J\tbytes=10007"
              "\toutcome=\\x01\tduration=1.923");
}

class TransferLogFile : public ::testing::Test {
protected:
    std::string path() const { return (folder.path() / "transfers.log").string(); }
    void append(const std::string& line) {
        std::string error;
        EXPECT_TRUE(log.append(line, error)) << error;
    }
    std::vector<std::string> lines(std::size_t count) {
        std::vector<std::string> got;
        std::string error;
        EXPECT_TRUE(TransferLog::lastLines(path(), count, got, error)) << error;
        return got;
    }

    TestFolder folder;
    TransferLog log{"test", path(), nullptr};
};

TEST_F(TransferLogFile, RotatesWhenTheNextLineWouldPassOneMebibyte) {
    const std::string old = std::string(TransferLog::kRotateAt - 11, 'o') + "\n";
    folder.write("transfers.log", old);
    folder.write("transfers.log.1", "the generation before");

    append("12345678");  // 9 bytes: the log ends one byte short of the limit
    EXPECT_EQ(folder.read("transfers.log.1"), "the generation before");
    append("x");  // 2 bytes: one past it
    EXPECT_TRUE(folder.read("transfers.log.1") == old + "12345678\n");
    EXPECT_EQ(folder.read("transfers.log"), "x\n");
    append("this line follows it");
    // The last lines come from both generations, in file order.
    EXPECT_EQ(lines(3), (std::vector<std::string>{"12345678", "x", "this line follows it"}));
}

TEST_F(TransferLogFile, MakesItsFolderForItsOwnerOnlyAndReadsNothingFromAMissingLog) {
    const std::string nested = (folder.path() / "state" / "dravolin" / "transfers.log").string();
    EXPECT_TRUE(lines(20).empty());
    TransferLog deep("test", nested, nullptr);
    std::string error;
    ASSERT_TRUE(deep.append("first", error)) << error;
    struct stat status {};
    ASSERT_EQ(::stat((folder.path() / "state" / "dravolin").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(nested.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077, 0u);
}

// Two programs logging at once: every line arrives whole, none mixed into another.
TEST_F(TransferLogFile, LinesFromTwoWritersAtOnceNeverInterleave) {
    constexpr int kLinesEach = 300;
    const auto lineOf = [](char writer, int number) {
        return std::string(1, writer) + std::to_string(number) + std::string(900, writer);
    };
    std::vector<pid_t> children;
    std::vector<std::string> wanted;
    for (const char writer : {'a', 'b'}) {
        for (int number = 0; number < kLinesEach; ++number) {
            wanted.push_back(lineOf(writer, number));
        }
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TransferLog mine("test", path(), nullptr);
            std::string error;
            for (int number = 0; number < kLinesEach; ++number) {
                if (!mine.append(lineOf(writer, number), error)) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> got = lines(10 * kLinesEach);
    ASSERT_EQ(got.size(), 2u * kLinesEach);
    std::sort(got.begin(), got.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(got, wanted);
}

}  // namespace
}  // namespace dravolin::test
