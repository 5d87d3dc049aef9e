// Reading the input of a line that marks its errors: the marks come out, the bytes stay in
// order, and a mark split between two reads reads as one that is not.
#include "serial/platform/marked_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravolin {
namespace {

struct Decoded {
    std::string bytes;
    std::size_t errors = 0;
};

Decoded decodeInParts(const std::vector<std::string>& parts) {
    MarkedInput input;
    std::vector<std::uint8_t> data;
    Decoded decoded;
    for (const std::string& part : parts) {
        const std::vector<std::uint8_t> raw(part.begin(), part.end());
        decoded.errors += input.decode(raw, data);
    }
    decoded.bytes.assign(data.begin(), data.end());
    return decoded;
}

TEST(MarkedInput, MarksComeOutAndErrorsAreCountedWhereverAReadEnds) {
    using namespace std::string_literals;
    const struct {
        std::string raw;
        std::string bytes;
        std::size_t errors;
    } cases[] = {
        {"plain", "plain", 0},
        {"A\xFF\xFF"
         "B",
         "A\xFF"
         "B",
         0},                                   // a 0xFF received
        {"A\xFF\x00X\xFF\x00YB"s, "AXYB", 2},  // two bytes with errors
        {"\xFF\x00\x00"s, "\x00"s, 1},         // a break
        {"\xFF"
         "A",
         "\xFF"
         "A",
         0},  // no mark: taken as it came
        {"\xFF\xFF\xFF\x00Z\xFF\xFF"s,
         "\xFF"
         "Z\xFF",
         1},
    };
    for (const auto& [raw, bytes, errors] : cases) {
        for (std::size_t split = 0; split <= raw.size(); ++split) {
            const Decoded decoded = decodeInParts({raw.substr(0, split), raw.substr(split)});
            EXPECT_EQ(decoded.bytes, bytes) << "split at " << split;
            EXPECT_EQ(decoded.errors, errors) << "split at " << split;
        }
    }
}

}  // namespace
}  // namespace dravolin
