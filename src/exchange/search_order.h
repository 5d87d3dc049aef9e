#pragma once

#include <optional>
#include <vector>

#include "exchange/line_try.h"

namespace dravolin {

// The rates, parities and stop bits the programmer can be set to: 24 settings.
inline constexpr int kSearchBaudRates[] = {9600, 19200, 38400, 57600};
inline constexpr char kSearchParities[] = {'E', 'O', 'N'};
inline constexpr int kSearchStopBits[] = {1, 2};

// The program's defaults, which a programmer fresh from its box has too.
inline constexpr LineSettings kDefaultLine{9600, 'E', 1};

// The order in which the search tries the line settings: the saved ones, then the
// defaults, then the others, those that differ from the saved ones in one setting first
// (an operator most often changes one thing on the keypad), then in two, then in all
// three; within each group by rate, parity (E, O, N) and stop bits. Each setting once.
std::vector<LineSettings> searchOrder(const LineSettings& saved);

}  // namespace dravolin
