#include "fuzz_support.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace dravolin::fuzz {

void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

std::vector<std::string> argumentsFrom(std::span<const std::uint8_t> input, std::size_t most) {
    std::vector<std::string> arguments;
    std::string current;
    for (const std::uint8_t byte : input) {
        if (byte != 0) {
            current.push_back(static_cast<char>(byte));
            continue;
        }
        arguments.push_back(std::move(current));
        current.clear();
        if (arguments.size() == most) {
            return arguments;
        }
    }
    if (!input.empty()) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

long referenceDecimal(std::span<const std::uint8_t> text) {
    std::size_t i = 0;
    auto isSpace = [](std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude is kept below the limit of its sign; one digit more saturates.
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LONG_MAX) + 1 : LONG_MAX;
    unsigned long long magnitude = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = text[i] - '0';
        if (magnitude > (limit - digit) / 10) {
            saturated = true;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (saturated) {
        return negative ? LONG_MIN : LONG_MAX;
    }
    if (negative) {
        return magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
    }
    return static_cast<long>(magnitude);
}

std::uint8_t referenceXor(std::span<const std::uint8_t> bytes) {
    std::uint8_t check = 0;
    for (const std::uint8_t byte : bytes) {
        check = static_cast<std::uint8_t>(check ^ byte);
    }
    return check;
}

ScratchFolder::ScratchFolder() {
    std::error_code error;
    const char* chosen = std::getenv("TMPDIR");
    const std::filesystem::path memory("/dev/shm");
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if ((chosen == nullptr || *chosen == '\0') && ::access(memory.c_str(), W_OK) == 0) {
        base = memory;
    }
    std::string pattern = (base / "dravolin-fuzz-XXXXXX").string();
    require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    require(static_cast<bool>(out), "a scratch file can be written");
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dravolin::fuzz
