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

TEST(DirectoryReplyCheck, AcceptsOnlyAWholeReplyAndReadsItsNames) {
    Bytes reply = withCheckByte(bytesOf("DIRECTORY   0002TAG00001    0012TAG2        0000"));
    reply.push_back('!');  // a stray byte behind the reply is not part of it
    const DirectoryReply checked = checkDirectoryReply(reply);
    ASSERT_EQ(checked.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(checked.count, 2);
    ASSERT_EQ(checked.names.size(), 2u);
    EXPECT_EQ(nameText(checked.names[0]), "TAG00001");
    EXPECT_EQ(nameText(checked.names[1]), "TAG2    ");

    // Refused replies give no names.
    const Bytes whole = withCheckByte(bytesOf("DIRECTORY   0001TAG00001    0012"));
    Bytes damaged = whole;
    damaged[20] ^= 0x01;
    const Bytes shortOfOne(whole.begin(), whole.end() - 1);
    const struct {
        Bytes received;
        ReplyVerdict verdict;
        long count;
    } cases[] = {
        {damaged, ReplyVerdict::WrongCheckByte, 1},
        {shortOfOne, ReplyVerdict::Incomplete, 1},
        {bytesOf("DIRECTORY   000"), ReplyVerdict::Incomplete, 0},  // no whole header
        {withCheckByte(bytesOf("DIRECTORY   0016")), ReplyVerdict::UnusableField, 16},
        {withCheckByte(bytesOf("DIRECTORY   -001")), ReplyVerdict::UnusableField, -1},
    };
    for (const auto& c : cases) {
        const DirectoryReply refused = checkDirectoryReply(c.received);
        EXPECT_EQ(refused.verdict, c.verdict) << std::string(c.received.begin(), c.received.end());
        EXPECT_EQ(refused.count, c.count);
        EXPECT_TRUE(refused.names.empty());
    }
}

TEST(FileReplyCheck, AcceptsOnlyAWholeFileAndGivesItWithoutItsCheckByte) {
    const Bytes reply = withCheckByte(bytesOf("HEAD0003abc"));
    const FileReply checked = checkFileReply(reply);
    ASSERT_EQ(checked.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(checked.dataLength, 3);
    EXPECT_EQ(Bytes(checked.file.begin(), checked.file.end()), bytesOf("HEAD0003abc"));
    const FileReply empty = checkFileReply(withCheckByte(bytesOf("HEAD0000")));
    EXPECT_EQ(empty.verdict, ReplyVerdict::Accepted);
    EXPECT_EQ(empty.file.size(), 8u);

    Bytes damaged = withCheckByte(bytesOf("HEAD0003abc"));
    damaged[9] ^= 0x20;
    const struct {
        Bytes received;
        ReplyVerdict verdict;
    } cases[] = {
        {damaged, ReplyVerdict::WrongCheckByte},
        {bytesOf("HEAD0003abc"), ReplyVerdict::Incomplete},
        {bytesOf("HEAD"), ReplyVerdict::Incomplete},
        {withCheckByte(bytesOf("HEAD-001")), ReplyVerdict::UnusableField},
    };
    for (const auto& c : cases) {
        const FileReply refused = checkFileReply(c.received);
        EXPECT_EQ(refused.verdict, c.verdict) << std::string(c.received.begin(), c.received.end());
        EXPECT_TRUE(refused.file.empty());
    }
}

}  // namespace
}  // namespace dravolin
