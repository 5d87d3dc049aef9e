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

TEST(DecimalField, ReadsAsStrtolAndLeavesTheBufferAlone) {
    const std::pair<std::string, long> fields[] = {{"0012", 12},   {"  12", 12},  {"12ab", 12},
                                                   {"abcd", 0},    {"-012", -12}, {"+034", 34},
                                                   {"9999", 9999}, {"1 23", 1}};
    for (const auto& [text, value] : fields) {
        // The field sits at 4..7 with a digit right behind it that must not be read.
        const Bytes buffer = bytesOf("HDR:" + text + "9tail");
        const Bytes before = buffer;
        EXPECT_EQ(readDecimalField(buffer, 4, 8), value) << text;
        EXPECT_EQ(buffer, before);
    }
}

}  // namespace
}  // namespace dravolin
