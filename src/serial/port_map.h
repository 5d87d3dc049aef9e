#pragma once

#include <map>
#include <string>
#include <string_view>

namespace dravolin {

// Which device stands behind "COMn": /dev/ttyS(n-1) unless a mapping names another path
// (a USB adapter, a simulator's pseudo-terminal).
class PortMap {
public:
    void map(int port, std::string devicePath);
    void unmap(int port);  // back to /dev/ttyS(n-1)
    std::string devicePath(int port) const;

    // The device for a port name formed as "COM%d"; an unrecognised name is returned as is.
    std::string devicePathForName(std::string_view portName) const;

    // Takes "n=PATH" as given to --port; false with a reason when it is not of that form.
    bool addMapping(std::string_view argument, std::string& error);

    const std::map<int, std::string>& mappings() const { return mappings_; }

private:
    std::map<int, std::string> mappings_;
};

}  // namespace dravolin
