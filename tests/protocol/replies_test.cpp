#include "protocol/replies.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

Bytes withCheckByte(Bytes reply) {
    reply.push_back(xorOf(reply));
    return reply;
}

std::string nameText(const DeviceNameField& name) {
    return std::string(name.begin(), name.end());
}

// What a refused reply ends with is in the exchange machine's tables, one row each.
TEST(DirectoryReplyCheck, ReadsTheNamesOfAWholeReply) {
    Bytes reply = withCheckByte(bytesOf("DIRECTORY   0002TAG00001    0012TAG2        0000"));
    reply.push_back('!');  // a stray byte behind the reply is not part of it
    const DirectoryReply checked = checkDirectoryReply(reply);
    ASSERT_EQ(checked.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(checked.count, 2);
    ASSERT_EQ(checked.names.size(), 2u);
    EXPECT_EQ(nameText(checked.names[0]), "TAG00001");
    EXPECT_EQ(nameText(checked.names[1]), "TAG2    ");
}

TEST(FileReplyCheck, GivesAWholeFileWithoutItsCheckByte) {
    const Bytes reply = withCheckByte(bytesOf("HEAD0003abc"));
    const FileReply checked = checkFileReply(reply);
    ASSERT_EQ(checked.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(checked.dataLength, 3);
    EXPECT_EQ(Bytes(checked.file.begin(), checked.file.end()), bytesOf("HEAD0003abc"));
    const FileReply empty = checkFileReply(withCheckByte(bytesOf("HEAD0000")));
    EXPECT_EQ(empty.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(empty.file.size(), 8u);
}

}  // namespace
}  // namespace dravolin
