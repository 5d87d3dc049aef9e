#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>

namespace dravolin {

// What the programmer puts into the bytes the PC never examines: byte 0 of every status
// reply, bytes 0 to 11 of the directory header and bytes 8 to 15 of each entry. A real
// programmer may send anything there, so by default they are drawn afresh for every reply
// from a seeded generator (the same seed gives the same bytes); plain gives fixed, readable
// ones ('0', "DIRECTORY   ", the data length). A file's own header bytes are stored and
// sent back as they are, never drawn.
class FreeBytes {
public:
    // `statusByte`, when given, is byte 0 of every status reply.
    FreeBytes(unsigned seed, bool plain, std::optional<std::uint8_t> statusByte);

    std::uint8_t statusByte();
    void fillDirectoryHeader(std::span<std::uint8_t> twelve);
    // `dataLength`: the file's data bytes, which the plain bytes show.
    void fillEntry(std::span<std::uint8_t> eight, std::size_t dataLength);

private:
    void draw(std::span<std::uint8_t> bytes);

    std::mt19937 generator_;
    bool plain_;
    std::optional<std::uint8_t> statusByte_;
};

}  // namespace dravolin
