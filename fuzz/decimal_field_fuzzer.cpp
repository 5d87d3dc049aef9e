// readDecimalField on any buffer and any field bounds: the header fields of every reply
// the device sends pass through it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "protocol/frames.h"

using namespace dravolin;
using dravolin::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes place the field, also past the end of the buffer and backwards.
    const std::vector<std::uint8_t> buffer(data + 2, data + size);
    const std::size_t start = data[0] % (buffer.size() + 3);
    const std::size_t end = data[1] % (buffer.size() + 3);

    const std::vector<std::uint8_t> before = buffer;
    const long value = readDecimalField(buffer, start, end);
    require(buffer == before, "the buffer is unchanged");

    const std::size_t last = std::min(end, buffer.size());
    const std::span<const std::uint8_t> field = start < last
                                                    ? std::span(buffer).subspan(start, last - start)
                                                    : std::span<const std::uint8_t>();
    require(value == fuzz::referenceDecimal(field), "the value is strtol's reading of the field");

    // The replies' fields are four bytes wide: what they can say is bounded by that alone,
    // and the checks of counts and lengths rely on it.
    if (last - std::min(start, last) <= 4) {
        require(value >= -999 && value <= 9999, "a four-byte field reads from -999 to 9999");
    }
    return 0;
}
