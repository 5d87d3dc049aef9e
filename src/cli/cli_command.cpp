#include "cli/cli_command.h"

#include <cctype>
#include <filesystem>

#include "protocol/safe_file_name.h"

namespace dravolin {

CliCommand::CliCommand(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress)
    : options_(options),
      out_(out),
      err_(err),
      warnings_(err),
      port_(warnings_, options.portMap),
      view_(err, showProgress, options.language.value_or(Language::English)),
      exchange_(view_, port_, options_.settings) {
    // A terminal has nothing to hold on screen after the outcome.
    exchange_.setOutcomePause(0);
}

int CliCommand::run() {
    switch (options_.command) {
        case CliOptions::Command::List:
            return list();
        case CliOptions::Command::Get:
            return get();
        case CliOptions::Command::Put:
            return put();
        default:
            std::fputs(CliOptions::usage().c_str(), err_);
            return kUsageError;
    }
}

int CliCommand::list() {
    exchange_.startExchange(Exchange::kReceiveFunction);
    if (!exchange_.awaitingFileChoice()) {
        return reportOutcome();  // a failure, or an empty directory
    }
    for (const std::string& name : view_.listedNames()) {
        std::fprintf(out_, "%s\n", trimmedDeviceName(name).c_str());
    }
    std::fflush(out_);
    return kSuccess;
}

int CliCommand::get() {
    exchange_.startExchange(Exchange::kReceiveFunction);
    if (!exchange_.awaitingFileChoice()) {
        return reportOutcome();
    }
    const int selection = findListedName();
    if (selection < 0) {
        // The device lists every file it holds; one it does not list does not exist.
        exchange_.finishExchange('R');
        return reportOutcome();
    }
    std::string refusal;
    const std::string target =
        fetchTarget(view_.listedNames()[static_cast<std::size_t>(selection)], refusal);
    if (target.empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n", refusal.c_str());
        return kUsageError;
    }
    view_.answerFileDialogsWith(target);
    exchange_.chooseListedFile(selection);
    return reportOutcome();
}

int CliCommand::put() {
    view_.answerFileDialogsWith(std::filesystem::absolute(options_.inputPath).string());
    exchange_.startExchange(Exchange::kSendFunction);
    return reportOutcome();
}

int CliCommand::findListedName() const {
    const auto& names = view_.listedNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == options_.name || trimmedDeviceName(names[i]) == options_.name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string CliCommand::fetchTarget(const std::string& deviceName, std::string& refusal) const {
    if (!options_.outputPath.empty()) {
        return options_.outputPath;  // the operator named the file: it may be replaced
    }
    const std::string name = trimmedDeviceName(deviceName);
    if (!isSafeFileName(name)) {
        refusal = "the programmer's name \"" + name +
                  "\" cannot be used as a file name here; name the file with -o FILE";
        return {};
    }
    const std::string target = name + ".tiv";
    if (std::filesystem::exists(target)) {
        refusal = target + " exists already; give -o " + target + " to replace it";
        return {};
    }
    return target;
}

int CliCommand::reportOutcome() {
    const char code = exchange_.lastOutcome();
    if (code == kStatusAccepted) {
        return kSuccess;
    }
    if (!exchange_.failureDetail().empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n", exchange_.failureDetail().c_str());
    }
    if (code == 'N' && !port_.lastOpenFailure().empty()) {
        std::fprintf(err_, "dravolin-cli: cannot open the port: %s\n",
                     port_.lastOpenFailure().c_str());
    }
    const std::optional<TextId> box = outcomeBoxText(code);
    const std::string text = ConsoleView::oneLine(box ? *box : TextId::StatusFailure,
                                                  options_.language.value_or(Language::English));
    const auto byte = static_cast<unsigned char>(code);
    if (std::isprint(byte)) {
        std::fprintf(err_, "dravolin-cli: %c: %s\n", code, text.c_str());
    } else {
        std::fprintf(err_, "dravolin-cli: 0x%02X: %s\n", byte, text.c_str());
    }
    return kExchangeFailed;
}

}  // namespace dravolin
