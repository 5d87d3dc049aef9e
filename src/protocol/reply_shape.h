#pragma once

#include <cstdint>
#include <span>

namespace dravolin {

// Whether the bytes received so far after a command frame cannot be the beginning of a
// status reply ('0' and a printable status letter). Such bytes come from a line whose
// settings differ from the programmer's (or from something that is not the programmer);
// waiting longer would not make them a reply.
bool cannotBeStatusReply(std::span<const std::uint8_t> received);

}  // namespace dravolin
