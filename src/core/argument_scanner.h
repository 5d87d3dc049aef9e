#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dravolin {

// One option of a command line, as a row of the program's table.
struct OptionRule {
    // OptionalValue: a value only after '=' (--trace or --trace=FILE), since a next
    // argument could as well be the command.
    enum class Takes { Nothing, Value, OptionalValue };

    std::string name;       // "--baud"; "-o" for an option with a short name only
    std::string shortName;  // "-h", or empty
    Takes takes = Takes::Nothing;
    bool repeatable = false;
    // Takes the option's value (empty for an option without one, and for an optional value
    // not given); false with `error` set when the value is refused.
    std::function<bool(const std::string& value, std::string& error)> apply;
};

// Reads a command line by a table of options, the same way in every program:
//   --name VALUE and --name=VALUE; a short name takes its value as the next argument;
//   "--" ends the options: every argument after it is an operand, even one that begins
//   with '-' (a name from the device may); a lone "-" is an operand too;
//   an option not in the table is called unknown; an option given twice is refused unless
//   its row says it may be repeated; options and operands may come in any order.
class ArgumentScanner {
public:
    explicit ArgumentScanner(std::vector<OptionRule> rules) : rules_(std::move(rules)) {}

    // Applies the options in order and collects the operands; false with the first
    // problem in `error`.
    bool scan(const std::vector<std::string>& arguments, std::vector<std::string>& operands,
              std::string& error) const;

    // True when one of `names` stands among the options (before any "--"): --help and
    // --version are answered whatever else the line holds.
    static bool asksFor(const std::vector<std::string>& arguments,
                        std::initializer_list<std::string_view> names);

private:
    const OptionRule* find(std::string_view name) const;

    std::vector<OptionRule> rules_;
};

}  // namespace dravolin
