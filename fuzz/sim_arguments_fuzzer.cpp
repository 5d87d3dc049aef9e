// The command line of voska-sim: any arguments, split at the NUL bytes of the input.

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sim/simulator_arguments.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

constexpr std::size_t kLargestCount = 1'000'000;

void checkConsistent(const SimulatorOptions& options) {
    require(options.capacity <= kLargestCount, "the capacity is bounded");
    for (const auto& [command, letter] : options.answers) {
        require(letter > 0x20 && letter < 0x7F && letter != '0',
                "a forced answer is a printable letter other than '0'");
    }
    for (const auto& [name, letter] : options.refusedFetches) {
        require(!name.empty() && name.find('=') == std::string::npos,
                "a refused name is given and holds no '='");
        require(letter > 0x20 && letter < 0x7F && letter != '0',
                "a refusal is a printable letter other than '0'");
    }
    for (const auto& [reply, count] : options.truncate) {
        require(count <= kLargestCount, "a truncation is bounded");
    }
    require(!options.countField || options.countField->size() == 4, "the count field is 4 bytes");
    require(!options.lengthField || options.lengthField->size() == 4,
            "the length field is 4 bytes");
    if (options.pace) {
        require(options.pace->baud >= 1 && options.pace->baud <= 4'000'000, "a sane baud rate");
        require(options.pace->parity == 'N' || options.pace->parity == 'E' ||
                    options.pace->parity == 'O',
                "the pace's parity is N, E or O");
        require(options.pace->stopBits == 1 || options.pace->stopBits == 2, "1 or 2 stop bits");
    }
    require(!options.hangupAfter || options.hangupAfter->bytes <= kLargestCount,
            "the hang-up point is bounded");
}

template <typename Key>
std::string nameOf(Key key, const std::vector<std::pair<Key, std::string>>& names) {
    for (const auto& [value, name] : names) {
        if (value == key) {
            return name;
        }
    }
    require(false, "every value has a name on the command line");
    return {};
}

const std::vector<std::pair<DeviceCommand, std::string>> kCommandNames = {
    {DeviceCommand::Directory, "directory"},
    {DeviceCommand::Fetch, "fetch"},
    {DeviceCommand::Announce, "announce"},
    {DeviceCommand::Data, "data"}};
const std::vector<std::pair<DataReply, std::string>> kReplyNames = {
    {DataReply::Directory, "directory"}, {DataReply::File, "file"}};
const std::vector<std::pair<DevicePhase, std::string>> kPhaseNames = {
    {DevicePhase::DirectoryStatus, "directory-status"},
    {DevicePhase::DirectoryReply, "directory-reply"},
    {DevicePhase::FetchStatus, "fetch-status"},
    {DevicePhase::FileReply, "file-reply"},
    {DevicePhase::AnnounceStatus, "announce-status"},
    {DevicePhase::DataStatus, "data-status"}};

// The options written out again, each value after '=' so that no value is taken for a flag.
std::vector<std::string> commandLineOf(const SimulatorOptions& options) {
    std::vector<std::string> line = {"--files=" + options.files.string(),
                                     "--capacity=" + std::to_string(options.capacity)};
    if (!options.link.empty()) {
        line.push_back("--link=" + options.link.string());
    }
    for (const auto& [command, letter] : options.answers) {
        line.push_back("--answer=" + nameOf(command, kCommandNames) + "=" + letter);
    }
    for (const auto& [name, letter] : options.refusedFetches) {
        line.push_back("--refuse=" + name + "=" + letter);
    }
    if (options.corruptCheck) {
        line.push_back("--corrupt-check=" + nameOf(*options.corruptCheck, kReplyNames));
    }
    for (const DevicePhase phase : options.silentPhases) {
        line.push_back("--silent=" + nameOf(phase, kPhaseNames));
    }
    for (const auto& [reply, count] : options.truncate) {
        line.push_back("--truncate=" + nameOf(reply, kReplyNames) + "=" + std::to_string(count));
    }
    if (options.countField) {
        line.push_back("--count-field=" + *options.countField);
    }
    if (options.lengthField) {
        line.push_back("--length-field=" + *options.lengthField);
    }
    if (options.pace) {
        line.push_back("--pace=" + std::to_string(options.pace->baud) + "," + options.pace->parity +
                       "," + std::to_string(options.pace->stopBits));
    }
    if (const auto& hangup = options.hangupAfter) {
        line.push_back(
            "--hangup-after=" + (hangup->reply ? nameOf(*hangup->reply, kReplyNames) + "=" : "") +
            std::to_string(hangup->bytes));
    }
    if (options.trace) {
        line.push_back("--trace");
    }
    return line;
}

bool sameOptions(const SimulatorOptions& a, const SimulatorOptions& b) {
    const bool samePace =
        a.pace.has_value() == b.pace.has_value() &&
        (!a.pace || (a.pace->baud == b.pace->baud && a.pace->parity == b.pace->parity &&
                     a.pace->stopBits == b.pace->stopBits));
    return a.files == b.files && a.capacity == b.capacity && a.link == b.link &&
           a.answers == b.answers && a.refusedFetches == b.refusedFetches &&
           a.corruptCheck == b.corruptCheck && a.silentPhases == b.silentPhases &&
           a.truncate == b.truncate && a.countField == b.countField &&
           a.lengthField == b.lengthField && samePace && a.hangupAfter == b.hangupAfter &&
           a.trace == b.trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments = fuzz::argumentsFrom(std::span(data, size));
    const SimulatorArguments parsed = parseSimulatorArguments(arguments);
    require(parsed.ok == parsed.error.empty(), "a command line is refused exactly with a reason");
    if (!parsed.ok) {
        return 0;
    }
    if (parsed.helpAsked || parsed.versionAsked) {
        return 0;
    }
    require(!parsed.options.files.empty(), "the device's folder is named");
    checkConsistent(parsed.options);

    const SimulatorArguments again = parseSimulatorArguments(commandLineOf(parsed.options));
    require(again.ok && !again.helpAsked && sameOptions(parsed.options, again.options),
            "the options written out as a command line parse back the same");
    return 0;
}
