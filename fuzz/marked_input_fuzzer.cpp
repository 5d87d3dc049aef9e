// The input of a line that marks its errors, as the system hands it over: any bytes at all,
// cut into reads anywhere.
//   byte 0: where the input is cut into two reads; the rest: the input.

#include <vector>

#include "fuzz_support.h"
#include "serial/platform/marked_input.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

struct Decoded {
    std::vector<std::uint8_t> data;
    std::size_t errors = 0;
};

Decoded decodedInReads(std::span<const std::uint8_t> raw, std::size_t cut) {
    MarkedInput input;
    Decoded decoded;
    decoded.errors += input.decode(raw.first(cut), decoded.data);
    decoded.errors += input.decode(raw.subspan(cut), decoded.data);
    return decoded;
}

// The line's marking written out here, apart from the decoder: each (flag, byte) pair of
// `pairs` is a received byte, with a parity or framing error when the flag is odd.
std::vector<std::uint8_t> markedLine(std::span<const std::uint8_t> pairs, std::size_t& errors) {
    std::vector<std::uint8_t> line;
    errors = 0;
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        const std::uint8_t byte = pairs[i + 1];
        if ((pairs[i] & 1) != 0) {
            line.insert(line.end(), {0xFF, 0x00, byte});
            ++errors;
        } else if (byte == 0xFF) {
            line.insert(line.end(), {0xFF, 0xFF});
        } else {
            line.push_back(byte);
        }
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> raw(data + 1, size - 1);
    const Decoded whole = decodedInReads(raw, 0);
    require(whole.data.size() <= raw.size(), "marks only ever take bytes away");
    require(whole.errors * 3 <= raw.size(), "every error takes three bytes of input");
    const Decoded cut = decodedInReads(raw, data[0] % (raw.size() + 1));
    require(cut.data == whole.data && cut.errors == whole.errors,
            "where a read ends changes nothing");

    // Bytes the line marked come out as they were received, each error counted once.
    std::size_t errors = 0;
    const std::vector<std::uint8_t> line = markedLine(raw, errors);
    const Decoded received = decodedInReads(line, data[0] % (line.size() + 1));
    std::vector<std::uint8_t> sent;
    for (std::size_t i = 1; i < raw.size(); i += 2) {
        sent.push_back(raw[i]);
    }
    require(received.data == sent, "the bytes received come out in order");
    require(received.errors == errors, "each marked error is counted once");
    return 0;
}
