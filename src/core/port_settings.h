#pragma once

#include <cstdint>
#include <string>

namespace dravolin {

// The serial line parameters of the next exchange. They live in memory only: every start
// of the program begins with these defaults.
struct PortSettings {
    std::int32_t baudRate = 9600;  // 9600, 19200, 38400 or 57600
    std::int32_t dataBits = 8;     // always 8
    std::int32_t parity = 'E';     // 'O', 'E' or 'N'
    std::int32_t stopBits = 1;     // 1 or 2
    std::int32_t port = 1;         // Com 1 to 4
    std::int32_t language = 1;     // 0 German, 1 English

    std::string portName() const;  // "COM1"
};

// "COM%d"
std::string portNameFor(int port);

}  // namespace dravolin
