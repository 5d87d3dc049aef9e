#include "app/command_line.h"

#include "core/language_choice.h"

namespace dravolin {

namespace {

constexpr std::string_view kPortOption = "--port";
constexpr std::string_view kPortOptionWithValue = "--port=";

}  // namespace

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc && line.action_ == Action::Run; ++i) {
        const std::string_view argument = argv[i];
        std::string_view mapping;
        if (argument == "--help" || argument == "-h") {
            line.action_ = Action::ShowHelp;
            continue;
        }
        if (argument == "--language") {
            const std::string_view name = i + 1 < argc ? argv[++i] : "";
            line.language_ = languageFromName(name);
            if (!line.language_) {
                line.refuse("--language takes de or en");
            }
            continue;
        }
        if (argument == kPortOption) {
            if (i + 1 >= argc) {
                line.refuse("--port needs a value N=PATH");
                continue;
            }
            mapping = argv[++i];
        } else if (argument.starts_with(kPortOptionWithValue)) {
            mapping = argument.substr(kPortOptionWithValue.size());
        } else if (argument.starts_with("-")) {
            line.refuse("unknown option " + std::string(argument));
            continue;
        } else {
            line.refuse("unexpected argument " + std::string(argument));
            continue;
        }
        std::string reason;
        if (!line.portMap_.addMapping(mapping, reason)) {
            line.refuse("--port " + std::string(mapping) + ": " + reason);
        }
    }
    return line;
}

void CommandLine::refuse(std::string reason) {
    action_ = Action::UsageError;
    error_ = std::move(reason);
}

std::string CommandLine::usageLine() {
    return "usage: dravolin [--port N=PATH]... [--language de|en] [--help]";
}

std::string CommandLine::helpText() {
    return usageLine() +
           "\n\n"
           "Exchanges tag-data files with the Voska handheld programmer.\n\n"
           "  --port N=PATH  use device PATH for Com port N (1 to 4); may be repeated.\n"
           "                 Without it Com N is /dev/ttyS(N-1).\n"
           "  --language L   de or en: the language of the window. Without it German is\n"
           "                 chosen where LC_ALL, LC_MESSAGES or LANG (the first set)\n"
           "                 names a German locale, English otherwise.\n"
           "  -h, --help     show this text and exit.\n";
}

}  // namespace dravolin
