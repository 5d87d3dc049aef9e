#include "sim/simulated_programmer.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "sim/serving_loop.h"

namespace dravolin {

namespace {

void writeToStandardError(const std::string& line) {
    const std::string whole = line + '\n';
    // One write per line keeps lines whole when the serving thread and the program write
    // at the same time.
    std::fwrite(whole.data(), 1, whole.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

SimulatedProgrammer::SimulatedProgrammer(SimulatorOptions options) : options_(std::move(options)) {
    if (!options_.log) {
        options_.log = writeToStandardError;
    }
}

SimulatedProgrammer::~SimulatedProgrammer() {
    stop();
}

bool SimulatedProgrammer::start(std::string& error) {
    if (thread_.joinable() || record_.state() != SimulatorState::NotStarted) {
        error = "the simulated programmer has already been started";
        return false;
    }
    if (!checkFolder(error) || !wake_.open(error)) {
        return false;
    }
    const bool opened = options_.serve.empty() ? terminal_.open(error)
                                               : terminal_.openExisting(options_.serve, error);
    if (!opened) {
        return false;
    }
    if (!options_.link.empty() && !link_.create(options_.link, terminal_.slavePath(), error)) {
        terminal_.closeMaster();
        return false;
    }
    devicePath_ = terminal_.slavePath();
    loop_ = std::make_unique<ServingLoop>(options_, terminal_, wake_, record_);
    record_.setState(SimulatorState::Serving);
    thread_ = std::thread([this] { loop_->run(); });
    return true;
}

void SimulatedProgrammer::stop() {
    if (thread_.joinable()) {
        wake_.raise();
        thread_.join();
        record_.markStopped();
    }
    terminal_.closeMaster();
    link_.remove();
}

std::string SimulatedProgrammer::devicePath() const {
    return devicePath_;
}

std::vector<Bytes> SimulatedProgrammer::receivedFrames() const {
    return record_.frames();
}

SimulatorState SimulatedProgrammer::state() const {
    return record_.state();
}

std::string SimulatedProgrammer::stateMessage() const {
    return record_.message();
}

bool SimulatedProgrammer::checkFolder(std::string& error) const {
    std::error_code failure;
    if (options_.files.empty()) {
        error = "no folder of files given";
        return false;
    }
    if (!std::filesystem::is_directory(options_.files, failure)) {
        error = options_.files.string() + " is not a folder";
        return false;
    }
    return true;
}

}  // namespace dravolin
