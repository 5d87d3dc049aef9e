#include "support/recording_presenter.h"

#include <utility>

namespace dravolin {

void RecordingPresenter::presentWarning(std::uint64_t id, const std::string& caption,
                                        const std::string& text, std::function<void()> answered) {
    warnings_.push_back(Warning{id, caption, text, false});
    if (holding_) {
        heldAnswers_.push_back(std::move(answered));
        return;
    }
    heldAnswers_.emplace_back();
    answered();
}

void RecordingPresenter::withdrawWarning(std::uint64_t id) {
    for (std::size_t i = 0; i < warnings_.size(); ++i) {
        if (warnings_[i].id == id && heldAnswers_[i]) {
            warnings_[i].withdrawn = true;
            heldAnswers_[i] = nullptr;
        }
    }
}

}  // namespace dravolin
