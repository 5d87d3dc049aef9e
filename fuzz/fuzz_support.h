#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

// What the fuzz targets share: stopping on a broken property, turning the fuzzer's bytes
// into a command line, a reading of decimal fields written independently of the
// program's, and a private folder on a memory file system.
namespace dravolin::fuzz {

// Stops the run when a property does not hold; libFuzzer keeps the input as a crash file.
void require(bool holds, const char* property);

// The input cut at each NUL byte into arguments, at most `most` of them (the rest is
// dropped, so a huge input does not make a huge command line).
std::vector<std::string> argumentsFrom(std::span<const std::uint8_t> input, std::size_t most = 24);

// The number at the front of `text` as the C library's strtol reads base 10 in the "C"
// locale: white space skipped, an optional sign, digits up to the first other byte (a NUL
// included), no digits give 0, and a value beyond the range of long gives LONG_MAX or
// LONG_MIN.
long referenceDecimal(std::span<const std::uint8_t> text);

// XOR of the bytes, the protocol's block check, computed here rather than by the program.
std::uint8_t referenceXor(std::span<const std::uint8_t> bytes);

// A folder of its own in $TMPDIR, else under /dev/shm, else in the system's temporary
// folder; removed with everything in it when the object goes (a crash leaves it behind,
// which is why scripts/fuzz.sh gives each run a TMPDIR of its own).
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes `bytes` to `path`, replacing it; stops the run when that fails.
void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

}  // namespace dravolin::fuzz
