#include "sim/free_bytes.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace dravolin {

namespace {

// The generator of the line mismatch draws from the seed itself; these bytes from a stream
// of their own, so that the one does not shift the other.
constexpr unsigned kStreamOfFreeBytes = 0x5EEDF8EEu;

constexpr std::string_view kDirectoryLabel = "DIRECTORY   ";

}  // namespace

FreeBytes::FreeBytes(unsigned seed, bool plain, std::optional<std::uint8_t> statusByte)
    : generator_(seed ^ kStreamOfFreeBytes), plain_(plain), statusByte_(statusByte) {}

std::uint8_t FreeBytes::statusByte() {
    if (statusByte_) {
        return *statusByte_;
    }
    std::uint8_t byte = '0';
    if (!plain_) {
        draw(std::span(&byte, 1));
    }
    return byte;
}

void FreeBytes::fillDirectoryHeader(std::span<std::uint8_t> twelve) {
    if (plain_) {
        std::copy_n(kDirectoryLabel.begin(), std::min(twelve.size(), kDirectoryLabel.size()),
                    twelve.begin());
    } else {
        draw(twelve);
    }
}

void FreeBytes::fillEntry(std::span<std::uint8_t> eight, std::size_t dataLength) {
    if (!plain_) {
        draw(eight);
        return;
    }
    // The data length as the device shows it, then spaces.
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04zu    ", dataLength % 10000);
    std::copy_n(digits, std::min<std::size_t>(eight.size(), 8), eight.begin());
}

void FreeBytes::draw(std::span<std::uint8_t> bytes) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::uint8_t& value : bytes) {
        value = static_cast<std::uint8_t>(byte(generator_));
    }
}

}  // namespace dravolin
