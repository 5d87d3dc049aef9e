#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/warning_presenter.h"

namespace dravolin {

// Keeps every warning put up. Answers at once, or holds the answers when a test wants a
// warning to stay up (to see it withdrawn).
class RecordingPresenter : public WarningPresenter {
public:
    struct Warning {
        std::uint64_t id = 0;
        std::string caption;
        std::string text;
        bool withdrawn = false;
    };

    void holdAnswers() { holding_ = true; }

    void presentWarning(std::uint64_t id, const std::string& caption, const std::string& text,
                        std::function<void()> answered) override;
    void withdrawWarning(std::uint64_t id) override;

    const std::vector<Warning>& warnings() const { return warnings_; }

private:
    bool holding_ = false;
    std::vector<Warning> warnings_;
    std::vector<std::function<void()>> heldAnswers_;  // one per warning, empty once dropped
};

}  // namespace dravolin
