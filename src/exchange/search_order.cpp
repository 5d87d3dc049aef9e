#include "exchange/search_order.h"

#include <algorithm>

namespace dravolin {

namespace {

int differences(const LineSettings& a, const LineSettings& b) {
    return (a.baudRate != b.baudRate ? 1 : 0) + (a.parity != b.parity ? 1 : 0) +
           (a.stopBits != b.stopBits ? 1 : 0);
}

}  // namespace

std::string LineSettings::text() const {
    return std::to_string(baudRate) + "," + std::string(1, parity) + "," + std::to_string(stopBits);
}

std::vector<LineSettings> searchOrder(const LineSettings& saved) {
    std::vector<LineSettings> others;
    for (const int rate : kSearchBaudRates) {
        for (const char parity : kSearchParities) {
            for (const int stop : kSearchStopBits) {
                const LineSettings line{rate, parity, stop};
                if (line != saved && line != kDefaultLine) {
                    others.push_back(line);
                }
            }
        }
    }
    std::stable_sort(others.begin(), others.end(),
                     [&saved](const LineSettings& a, const LineSettings& b) {
                         return differences(a, saved) < differences(b, saved);
                     });
    std::vector<LineSettings> order{saved};
    if (saved != kDefaultLine) {
        order.push_back(kDefaultLine);
    }
    order.insert(order.end(), others.begin(), others.end());
    return order;
}

}  // namespace dravolin
