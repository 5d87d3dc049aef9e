#pragma once

#include <cstdio>

#include "serial/warning_presenter.h"

namespace dravolin {

// The serial link's warnings on a terminal: written to stderr and answered at once.
class ConsoleWarnings : public WarningPresenter {
public:
    explicit ConsoleWarnings(std::FILE* out = stderr) : out_(out) {}

    void presentWarning(std::uint64_t id, const std::string& caption, const std::string& text,
                        std::function<void()> answered) override;
    void withdrawWarning(std::uint64_t id) override;

private:
    std::FILE* out_;
};

}  // namespace dravolin
