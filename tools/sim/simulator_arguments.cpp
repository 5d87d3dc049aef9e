#include "sim/simulator_arguments.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "core/argument_scanner.h"

namespace dravolin {

namespace {

using Takes = OptionRule::Takes;

const std::map<std::string, DeviceCommand> kCommands = {
    {"directory", DeviceCommand::Directory},
    {"fetch", DeviceCommand::Fetch},
    {"announce", DeviceCommand::Announce},
    {"data", DeviceCommand::Data},
};

const std::map<std::string, DataReply> kReplies = {
    {"directory", DataReply::Directory},
    {"file", DataReply::File},
};

const std::map<std::string, DevicePhase> kPhases = {
    {"directory-status", DevicePhase::DirectoryStatus},
    {"directory-reply", DevicePhase::DirectoryReply},
    {"fetch-status", DevicePhase::FetchStatus},
    {"file-reply", DevicePhase::FileReply},
    {"announce-status", DevicePhase::AnnounceStatus},
    {"data-status", DevicePhase::DataStatus},
};

constexpr long kLargestCount = 1'000'000;
constexpr long kLargestBaud = 4'000'000;
constexpr long kLargestSeed = 2'147'483'647;

template <typename Value>
std::string namesOf(const std::map<std::string, Value>& table) {
    std::string names;
    for (const auto& [name, value] : table) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

std::optional<long> wholeNumber(std::string_view text, long smallest, long largest) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < smallest ||
        value > largest) {
        return std::nullopt;
    }
    return value;
}

// Splits "KEY=VALUE"; nullopt without '='.
std::optional<std::pair<std::string, std::string>> keyAndValue(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(text.substr(0, equals), text.substr(equals + 1));
}

// "0x07": a byte in two hexadecimal digits.
std::optional<std::uint8_t> hexByte(const std::string& text) {
    unsigned value = 0;
    if (text.size() != 4 || text.compare(0, 2, "0x") != 0) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data() + 2, text.data() + 4, value, 16);
    if (error != std::errc() || end != text.data() + 4) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// One printable character, or any byte written 0xHH; never '0' (the device accepts on its
// own).
std::optional<char> statusLetter(const std::string& flag, const std::string& text,
                                 std::string& error) {
    std::optional<char> letter;
    if (text.size() == 1 && text[0] >= 0x21 && text[0] <= 0x7e) {
        letter = text[0];
    } else if (const auto byte = hexByte(text)) {
        letter = static_cast<char>(*byte);
    }
    if (!letter || *letter == '0') {
        error = flag +
                " takes one printable status character or a byte written 0xHH, other than '0' "
                "(the device accepts on its own), not '" +
                text + "'";
        return std::nullopt;
    }
    return letter;
}

// BAUD,PARITY,STOP
std::optional<LinePace> lineSettings(const std::string& flag, const std::string& value,
                                     std::string& error) {
    const auto firstComma = value.find(',');
    const auto secondComma =
        firstComma == std::string::npos ? std::string::npos : value.find(',', firstComma + 1);
    std::optional<long> baud;
    std::string parity;
    std::optional<long> stopBits;
    if (secondComma != std::string::npos) {
        baud = wholeNumber(std::string_view(value).substr(0, firstComma), 1, kLargestBaud);
        parity = value.substr(firstComma + 1, secondComma - firstComma - 1);
        stopBits = wholeNumber(std::string_view(value).substr(secondComma + 1), 1, 2);
    }
    const bool parityOk = parity == "N" || parity == "E" || parity == "O";
    if (!baud || !parityOk || !stopBits) {
        error = flag +
                " takes BAUD,PARITY,STOP such as 9600,E,1 (PARITY N, E or O; STOP 1 or 2), "
                "not '" +
                value + "'";
        return std::nullopt;
    }
    return LinePace{*baud, parity[0], static_cast<int>(*stopBits)};
}

// N, or REPLY=N for the next reply of that kind only.
std::optional<HangupPoint> hangupPoint(const std::string& flag, const std::string& value,
                                       std::string& error) {
    HangupPoint point;
    std::string count = value;
    if (const auto pair = keyAndValue(value)) {
        const auto reply = kReplies.find(pair->first);
        point.reply = reply == kReplies.end() ? std::nullopt : std::optional(reply->second);
        count = point.reply ? pair->second : std::string();
    }
    const auto bytes = wholeNumber(count, 0, kLargestCount);
    if (!bytes) {
        error = flag + " takes N or REPLY=N with REPLY one of " + namesOf(kReplies) +
                " and N a number of bytes, not '" + value + "'";
        return std::nullopt;
    }
    point.bytes = static_cast<std::size_t>(*bytes);
    return point;
}

// A whole number from `smallest` to `largest`, or the refusal `expected` names.
std::optional<long> numberOf(const std::string& flag, const std::string& value, long smallest,
                             long largest, const std::string& expected, std::string& error) {
    const auto number = wholeNumber(value, smallest, largest);
    if (!number) {
        error = flag + " takes " + expected + ", not '" + value + "'";
    }
    return number;
}

// One of the names of `table`.
template <typename Value>
std::optional<Value> oneOf(const std::string& flag, const std::map<std::string, Value>& table,
                           const std::string& value, std::string& error) {
    const auto found = table.find(value);
    if (found == table.end()) {
        error = flag + " takes one of " + namesOf(table) + ", not '" + value + "'";
        return std::nullopt;
    }
    return found->second;
}

// Each row puts its value into `result`; `apply` takes the row's own flag for its messages.
using Apply =
    std::function<bool(const std::string& flag, const std::string& value, std::string& error)>;

OptionRule rule(std::string name, Takes takes, Apply apply, bool repeatable = false) {
    OptionRule row{name, {}, takes, repeatable, {}};
    row.apply = [flag = std::move(name), apply = std::move(apply)](const std::string& value,
                                                                   std::string& error) {
        return apply(flag, value, error);
    };
    return row;
}

// A value that must not be empty.
Apply nonEmptyInto(std::filesystem::path& into, std::string need) {
    return [&into, need = std::move(need)](const std::string& flag, const std::string& value,
                                           std::string& error) {
        if (value.empty()) {
            error = flag + " needs " + need;
            return false;
        }
        into = value;
        return true;
    };
}

// Four characters for a header field.
Apply fieldInto(std::optional<std::string>& into) {
    return [&into](const std::string& flag, const std::string& value, std::string& error) {
        if (value.size() != 4) {
            error = flag + " takes exactly 4 characters, not '" + value + "'";
            return false;
        }
        into = value;
        return true;
    };
}

Apply lineInto(std::optional<LinePace>& into) {
    return [&into](const std::string& flag, const std::string& value, std::string& error) {
        into = lineSettings(flag, value, error);
        return into.has_value();
    };
}

std::vector<OptionRule> optionRules(SimulatorArguments& result) {
    SimulatorOptions& options = result.options;
    auto isSet = [](bool& flag) {
        return [&flag](const std::string&, const std::string&, std::string&) {
            flag = true;
            return true;
        };
    };
    std::vector<OptionRule> rules = {
        rule("--files", Takes::Value, nonEmptyInto(options.files, "a folder")),
        rule("--capacity", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 const auto count =
                     numberOf(flag, value, 0, kLargestCount, "a number of files from 0 up", error);
                 options.capacity = static_cast<std::size_t>(count.value_or(options.capacity));
                 return count.has_value();
             }),
        rule("--link", Takes::Value, nonEmptyInto(options.link, "a path")),
        rule("--serve", Takes::Value, nonEmptyInto(options.serve, "the path of a terminal")),
        rule("--trace", Takes::Nothing, isSet(options.trace)),
        rule("--plain", Takes::Nothing, isSet(options.plain)),
        rule("--seed", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 const auto seed =
                     numberOf(flag, value, 0, kLargestSeed, "a whole number from 0 up", error);
                 options.seed = static_cast<unsigned>(seed.value_or(options.seed));
                 return seed.has_value();
             }),
        rule("--version", Takes::Nothing, isSet(result.versionAsked)),
        rule(
            "--answer", Takes::Value,
            [&](const std::string& flag, const std::string& value, std::string& error) {
                const auto pair = keyAndValue(value);
                const auto command = pair ? kCommands.find(pair->first) : kCommands.end();
                if (command == kCommands.end()) {
                    error = flag + " takes COMMAND=LETTER with COMMAND one of " +
                            namesOf(kCommands) + ", not '" + value + "'";
                    return false;
                }
                const auto letter = statusLetter(flag, pair->second, error);
                if (letter) {
                    options.answers[command->second] = *letter;
                }
                return letter.has_value();
            },
            true),
        rule(
            "--refuse", Takes::Value,
            [&](const std::string& flag, const std::string& value, std::string& error) {
                const auto pair = keyAndValue(value);
                if (!pair || pair->first.empty()) {
                    error = flag + " takes NAME=LETTER, not '" + value + "'";
                    return false;
                }
                const auto letter = statusLetter(flag, pair->second, error);
                if (letter) {
                    options.refusedFetches[pair->first] = *letter;
                }
                return letter.has_value();
            },
            true),
        rule("--status-byte", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 options.statusByte = hexByte(value);
                 if (!options.statusByte) {
                     error = flag + " takes a byte written 0xHH, such as 0x06, not '" + value + "'";
                 }
                 return options.statusByte.has_value();
             }),
        rule("--corrupt-check", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 options.corruptCheck = oneOf(flag, kReplies, value, error);
                 return options.corruptCheck.has_value();
             }),
        rule(
            "--silent", Takes::Value,
            [&](const std::string& flag, const std::string& value, std::string& error) {
                const auto phase = oneOf(flag, kPhases, value, error);
                if (phase) {
                    options.silentPhases.insert(*phase);
                }
                return phase.has_value();
            },
            true),
        rule(
            "--truncate", Takes::Value,
            [&](const std::string& flag, const std::string& value, std::string& error) {
                const auto pair = keyAndValue(value);
                const auto reply = pair ? kReplies.find(pair->first) : kReplies.end();
                const auto count =
                    pair ? wholeNumber(pair->second, 0, kLargestCount) : std::nullopt;
                if (reply == kReplies.end() || !count) {
                    error = flag + " takes REPLY=N with REPLY one of " + namesOf(kReplies) +
                            " and N a number of bytes, not '" + value + "'";
                    return false;
                }
                options.truncate[reply->second] = static_cast<std::size_t>(*count);
                return true;
            },
            true),
        rule("--count-field", Takes::Value, fieldInto(options.countField)),
        rule("--length-field", Takes::Value, fieldInto(options.lengthField)),
        rule("--pace", Takes::Value, lineInto(options.pace)),
        rule("--hangup-after", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 options.hangupAfter = hangupPoint(flag, value, error);
                 return options.hangupAfter.has_value();
             }),
        rule("--line", Takes::Value, lineInto(options.line)),
        rule("--noise", Takes::Value,
             [&](const std::string& flag, const std::string& value, std::string& error) {
                 const auto percent =
                     numberOf(flag, value, 0, 100, "a percentage from 0 to 100", error);
                 options.noisePercent = static_cast<int>(percent.value_or(options.noisePercent));
                 return percent.has_value();
             }),
    };
    OptionRule help = rule("--help", Takes::Nothing, isSet(result.helpAsked));
    help.shortName = "-h";
    rules.push_back(std::move(help));
    return rules;
}

}  // namespace

SimulatorArguments parseSimulatorArguments(const std::vector<std::string>& arguments) {
    SimulatorArguments result;
    std::vector<std::string> operands;
    if (!ArgumentScanner(optionRules(result)).scan(arguments, operands, result.error)) {
        return result;
    }
    if (!operands.empty()) {
        result.error = "unknown option " + operands.front();
    } else if (!result.helpAsked && !result.versionAsked && result.options.files.empty()) {
        result.error = "--files DIR is required";
    }
    result.ok = result.error.empty();
    return result;
}

std::string simulatorHelp() {
    return R"(Usage: voska-sim --files DIR [OPTION]...
Plays the Voska handheld programmer on a pseudo-terminal. Prints the device path a PC
opens (one line on standard output) and serves until interrupted (SIGINT or SIGTERM).

The programmer's memory is the folder DIR: every NAME.tiv in it is a stored file, listed
by NAME (1 to 8 printable ASCII or Latin-1 bytes) in sorted order, all of them (a PC lists
at most 15). Files that cannot be stored there (longer names, unusual characters, broken
headers) are skipped with a note on standard error. A file the PC sends is stored as
NAME.tiv, the name's trailing spaces removed, written whole or not at all.

The bytes the PC does not examine (byte 0 of every status reply, bytes 0 to 11 of the
directory header, bytes 8 to 15 of each entry) are drawn afresh for every reply, as a real
programmer may put anything there; --seed repeats them, --plain fixes them. A file's own
header is sent back as it was stored.

Options:
  --files DIR              the folder that holds the programmer's files (required)
  --capacity N             files the memory holds (default 15); the PC's announcement of
                           a new name gets 'S' when it is full, an existing name is replaced
  --link PATH              make PATH a symbolic link to the device path (an existing link
                           is replaced, anything else is refused); removed on exit
  --serve TTY              serve on the terminal TTY, whose other end someone else holds
                           (the host end of an emulator's serial line, such as a QEMU pty
                           chardev), instead of a pseudo-terminal of its own; ends when
                           that other end closes
  --trace                  a hex line per frame on standard error: PC>DEV 44 44,
                           DEV>PC 9C 30; remarks start with "--"
  --seed N                 seeds every random choice (default 1), so that a run can be
                           repeated: the bytes the PC does not examine and, with --line,
                           silence or noise at a mismatch
  --plain                  fixed bytes where the PC does not look, for reading traces:
                           '0' before each status letter, "DIRECTORY   " in the
                           directory header and each file's data length in its entry
  -h, --help               show this text
  --version                show the version

Fault knobs (each may be combined with the others):
  --answer COMMAND=LETTER  answer every COMMAND frame with status LETTER and do nothing
                           else; COMMAND is directory, fetch, announce or data
                           (e.g. --answer announce=S, --answer fetch=A); a LETTER is one
                           printable character or any byte as 0xHH (--answer fetch=0x07);
                           repeatable
  --refuse NAME=LETTER     answer a fetch of the file NAME with status LETTER; repeatable
  --status-byte 0xHH       this byte before every status letter (e.g. 0x06, an ACK)
  --corrupt-check REPLY    send a wrong check byte in REPLY: directory or file
  --silent PHASE           never answer at PHASE, ignoring the frame there: directory-status,
                           directory-reply, fetch-status, file-reply, announce-status,
                           data-status; repeatable
  --truncate REPLY=N       send only the first N bytes of REPLY (directory or file);
                           repeatable
  --count-field TEXT       these 4 characters in the directory header's count field; the
                           entries sent are still the real ones (e.g. 0016, -001, abcd)
  --length-field TEXT      these 4 characters in the file reply header's length field; the
                           data sent is still the real data
  --pace BAUD,PARITY,STOP  take the line time of BAUD baud, 8 data bits, PARITY (N, E or O)
                           and STOP (1 or 2) stop bits for every byte in both directions,
                           e.g. --pace 9600,E,1
  --hangup-after [REPLY=]N close the line after N bytes of the next directory or file
                           reply, or of the next REPLY (directory or file) alone, then
                           exit (e.g. --hangup-after file=100 cuts a fetch, not the
                           listing before it)
  --line BAUD,PARITY,STOP  the programmer's own line settings, as set on its keypad: it
                           answers only while the PC's end of the line is set to them; at
                           other settings it hears garbage, as a UART would, and answers
                           with nothing or a few bytes of noise (e.g. --line 19200,O,2);
                           a pseudo-terminal keeps no parity-enable bit, so even parity
                           and none look the same to it
  --noise PERCENT          how many of the bursts heard at a mismatch get noise back
                           (default 50); 0 for a programmer that stays silent there

Status letters the programmer raises itself: X a check byte it received is wrong,
R a fetch of a name it does not hold, S memory full, W an announcement it cannot take
(a name that cannot be a file name, a negative length), D a file it could not store.

Without --pace, bytes go as fast as the pseudo-terminal takes them.

Example: voska-sim --files ~/tags --link /tmp/voska --trace

Exit status: 0 when interrupted or after --hangup-after, 1 when the line cannot be set
up or fails, 2 for a wrong command line.
)";
}

}  // namespace dravolin
