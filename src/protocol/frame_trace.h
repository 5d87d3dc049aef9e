#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dravolin {

inline constexpr std::string_view kFromPc = "PC>DEV";
inline constexpr std::string_view kToPc = "DEV>PC";

// One trace line, as the simulated programmer and the programs trace a line: the direction, an
// optional remark, then the bytes in hex, e.g. "PC>DEV 44 44".
std::string traceLine(std::string_view direction, std::span<const std::uint8_t> bytes,
                      std::string_view remark = {});

}  // namespace dravolin
