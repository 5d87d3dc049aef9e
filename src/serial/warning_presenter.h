#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dravolin {

// Shows the serial link's warnings ("Application Error" boxes): a box in the window,
// a line on stderr in the CLI, a recorder in tests. Both calls are made on the interface
// thread only.
class WarningPresenter {
public:
    virtual ~WarningPresenter() = default;

    // Puts the warning up and returns at once. `answered` is called once, on the interface
    // thread, when the operator has closed it; a presenter that needs no answer may call it
    // before returning.
    virtual void presentWarning(std::uint64_t id, const std::string& caption,
                                const std::string& text, std::function<void()> answered) = 0;

    // Takes down a warning that has not been answered yet; its `answered` is then never
    // called. Unknown or answered ids are ignored.
    virtual void withdrawWarning(std::uint64_t id) = 0;
};

}  // namespace dravolin
