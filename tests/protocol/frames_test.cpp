#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

TEST(BlockCheck, XorOfTheBytesIsWrittenBehindThem) {
    Bytes frame{0x10, 0x32, 0x07, 0xEE};
    EXPECT_EQ(blockCheck(frame, 3), 0x10 ^ 0x32 ^ 0x07);
    EXPECT_EQ(frame, (Bytes{0x10, 0x32, 0x07, 0x10 ^ 0x32 ^ 0x07}));
    Bytes empty{0xAB};
    EXPECT_EQ(blockCheck(empty, 0), 0x00);
    EXPECT_EQ(empty[0], 0x00);
    // A damaged check byte or data byte fails the replies (tested there); a check byte
    // beyond the bytes received fails without reading past them.
    EXPECT_TRUE(checkByteMatches(frame, 3));
    EXPECT_FALSE(checkByteMatches(frame, frame.size()));
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
                                           FieldCase{"9999", 9999}, FieldCase{"1 23", 1}));

TEST(PcFrames, EachCommandAsTheDeviceReadsIt) {
    EXPECT_EQ(directoryRequest(), (Bytes{0x44, 0x44}));
    EXPECT_EQ(goAhead(), (Bytes{0x02}));

    // A fetch carries the name verbatim.
    const std::uint8_t check = 'G' ^ 'T' ^ 'A' ^ 'G' ^ '0' ^ '0' ^ '0' ^ '0' ^ '1';
    EXPECT_EQ(fetchRequest(bytesOf("TAG00001")),
              (Bytes{'G', 'T', 'A', 'G', '0', '0', '0', '0', '1', check}));

    // An announcement pads the name and copies the header.
    const Bytes frame = transferAnnouncement("AB", bytesOf("ABCD0012"));
    const Bytes body = bytesOf("TAB      ABCD0012");
    ASSERT_EQ(frame.size(), 18u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 17), body);
    EXPECT_EQ(frame[17], xorOf(body));
    const Bytes longName = transferAnnouncement("TOOLONGNAME", bytesOf("00000000"));
    EXPECT_EQ(std::string(longName.begin() + 1, longName.begin() + 9), "TOOLONGN");

    EXPECT_EQ(dataFrame({}), (Bytes{0x02, 0x02}));
    EXPECT_EQ(dataFrame(bytesOf("xyz")),
              (Bytes{0x02, 'x', 'y', 'z', static_cast<std::uint8_t>(0x02 ^ 'x' ^ 'y' ^ 'z')}));
    const Bytes largest = dataFrame(Bytes(9999, 0x5A));
    ASSERT_EQ(largest.size(), 10001u);
    EXPECT_EQ(largest.back(), static_cast<std::uint8_t>(0x02 ^ 0x5A));  // an odd count of 0x5A
}

}  // namespace
}  // namespace dravolin
