#include "exchange/frames.h"

#include <gtest/gtest.h>

#include <string>

namespace dravolin {
namespace {

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(BlockCheck, XorOfEveryByteIsWrittenBehindThem) {
    Bytes frame{0x10, 0x32, 0x07, 0xEE};
    EXPECT_EQ(blockCheck(frame, 3), 0x10 ^ 0x32 ^ 0x07);
    EXPECT_EQ(frame[3], 0x10 ^ 0x32 ^ 0x07);
    EXPECT_EQ(frame[0], 0x10);  // the covered bytes stay as they were
}

TEST(BlockCheck, EmptyPrefixGivesZero) {
    Bytes frame{0xAB};
    EXPECT_EQ(blockCheck(frame, 0), 0x00);
    EXPECT_EQ(frame[0], 0x00);
}

TEST(BlockCheck, ReplyWithWrongCheckByteFails) {
    Bytes reply = bytesOf("HEAD0003abc");
    reply.push_back(xorOf(reply));
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1));
    reply.back() ^= 0x01;
    EXPECT_FALSE(checkByteMatches(reply, reply.size() - 1));
    reply.back() ^= 0x01;
    reply[3] ^= 0x40;  // a damaged data byte fails as well
    EXPECT_FALSE(checkByteMatches(reply, reply.size() - 1));
}

TEST(BlockCheck, MissingCheckByteFails) {
    const Bytes reply = bytesOf("12345678");
    EXPECT_FALSE(checkByteMatches(reply, reply.size()));
}

struct FieldCase {
    std::string text;
    long value;
};

class DecimalField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DecimalField, ReadsAsStrtolAndLeavesTheBufferAlone) {
    // The field sits at 4..7 with a digit right behind it that must not be read.
    const Bytes buffer = bytesOf("HDR:" + GetParam().text + "9tail");
    const Bytes before = buffer;
    EXPECT_EQ(readDecimalField(buffer, 4, 8), GetParam().value);
    EXPECT_EQ(buffer, before);
}

INSTANTIATE_TEST_SUITE_P(Fields, DecimalField,
                         ::testing::Values(FieldCase{"0012", 12}, FieldCase{"  12", 12},
                                           FieldCase{"12ab", 12}, FieldCase{"abcd", 0},
                                           FieldCase{"-012", -12}, FieldCase{"+034", 34},
                                           FieldCase{"9999", 9999}, FieldCase{"    ", 0},
                                           FieldCase{"1 23", 1}));

TEST(DecimalField, FieldAtTheVeryEndOfTheBuffer) {
    const Bytes header = bytesOf("xxxx0042");
    EXPECT_EQ(readDecimalField(header, 4, 8), 42);
    EXPECT_EQ(fileDataLength(header), 42);
}

TEST(DecimalField, DirectoryHeaderCountSitsInBytes12To15) {
    const Bytes header = bytesOf("999999999999000312345");
    EXPECT_EQ(directoryCount(header), 3);
}

TEST(PcFrames, DirectoryRequestIsAlwaysDD) {
    EXPECT_EQ(directoryRequest(), (Bytes{0x44, 0x44}));
}

TEST(PcFrames, FetchRequestCarriesTheNameVerbatim) {
    const Bytes name = bytesOf("TAG00001");
    const Bytes frame = fetchRequest(name);
    ASSERT_EQ(frame.size(), 10u);
    std::uint8_t check = 'G';
    for (auto b : name)
        check ^= b;
    const Bytes expected{'G', 'T', 'A', 'G', '0', '0', '0', '0', '1', check};
    EXPECT_EQ(frame, expected);
}

TEST(PcFrames, AnnouncementPadsTheNameAndCopiesTheHeader) {
    const Bytes header = bytesOf("ABCD0012");
    const Bytes frame = transferAnnouncement("AB", header);
    const Bytes body = bytesOf("TAB      ABCD0012");
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 17), body);
    EXPECT_EQ(frame[17], xorOf(body));
    EXPECT_EQ(readDecimalField(frame, 13, 17), 12);
}

TEST(PcFrames, AnnouncementCutsANameLongerThanEight) {
    const Bytes frame = transferAnnouncement("TOOLONGNAME", bytesOf("00000000"));
    EXPECT_EQ(std::string(frame.begin() + 1, frame.begin() + 9), "TOOLONGN");
}

TEST(PcFrames, GoAheadIsStx) {
    EXPECT_EQ(goAhead(), (Bytes{0x02}));
}

TEST(PcFrames, DataFrameForLengthZeroIsTwoStx) {
    EXPECT_EQ(dataFrame({}), (Bytes{0x02, 0x02}));
}

TEST(PcFrames, DataFrameChecksStxAndData) {
    const Bytes frame = dataFrame(bytesOf("xyz"));
    EXPECT_EQ(frame,
              (Bytes{0x02, 'x', 'y', 'z', static_cast<std::uint8_t>(0x02 ^ 'x' ^ 'y' ^ 'z')}));
}

TEST(PcFrames, LargestDataFrameIsWhole) {
    const Bytes data(9999, 0x5A);
    const Bytes frame = dataFrame(data);
    ASSERT_EQ(frame.size(), 10001u);
    EXPECT_EQ(frame.back(), static_cast<std::uint8_t>(0x02 ^ 0x5A));  // an odd count of 0x5A
}

TEST(Replies, StatusLetterIsTheSecondByte) {
    EXPECT_EQ(statusLetter(bytesOf("x0")), '0');
    EXPECT_EQ(statusLetter(bytesOf("0S")), 'S');
    EXPECT_EQ(statusLetter(bytesOf("0")), '\0');  // incomplete reply
}

TEST(Replies, LengthsOfDataReplies) {
    EXPECT_EQ(directoryReplyLength(0), 17u);
    EXPECT_EQ(directoryReplyLength(3), 65u);
    EXPECT_EQ(directoryReplyLength(15), 257u);
    EXPECT_EQ(fileReplyLength(0), 9u);
    EXPECT_EQ(fileReplyLength(9999), 10008u);
}

TEST(Replies, UsableFieldRanges) {
    EXPECT_TRUE(isUsableDirectoryCount(0));
    EXPECT_TRUE(isUsableDirectoryCount(15));
    EXPECT_FALSE(isUsableDirectoryCount(16));
    EXPECT_FALSE(isUsableDirectoryCount(-1));
    EXPECT_TRUE(isUsableDataLength(0));
    EXPECT_TRUE(isUsableDataLength(9999));
    EXPECT_FALSE(isUsableDataLength(-12));
    EXPECT_FALSE(isUsableDataLength(10000));
}

}  // namespace
}  // namespace dravolin
