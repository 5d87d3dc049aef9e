#pragma once

#include <string>

namespace dravolin {

// A call of the system that failed on the serial link, as a value: the comm layer raises it
// where the call fails, in that system's own words, and the link decides whom to tell.
struct LinkError {
    enum class Kind {
        Open,       // the device could not be had (see open_failure_cause.h for why)
        Configure,  // the line could not be set as asked
        Read,
        Write,
    };

    Kind kind = Kind::Open;
    int code = 0;      // an errno value (the Windows twin maps its own codes onto them)
    std::string call;  // the call that failed, as this system names it: "tcsetattr()"
    std::string text;  // the system's own text for the failure, as it gave it

    // The "Application Error" warning for port `portNumber`; the system's text is made safe
    // to show, as every text from outside the program is.
    std::string warningText(int portNumber) const;
};

}  // namespace dravolin
