#include "core/argument_scanner.h"

#include <algorithm>
#include <optional>
#include <set>

namespace dravolin {

namespace {

constexpr std::string_view kEndOfOptions = "--";

bool looksLikeOption(std::string_view argument) {
    return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

bool ArgumentScanner::scan(const std::vector<std::string>& arguments,
                           std::vector<std::string>& operands, std::string& error) const {
    std::set<const OptionRule*> seen;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !looksLikeOption(argument)) {
            operands.push_back(argument);
            continue;
        }
        if (argument == kEndOfOptions) {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const OptionRule* rule = find(name);
        if (rule == nullptr) {
            error = "unknown option " + name;
            return false;
        }
        if (!seen.insert(rule).second && !rule->repeatable) {
            error = rule->name + " is given more than once";
            return false;
        }
        if (rule->takes == OptionRule::Takes::Nothing && value) {
            error = rule->name + " takes no value";
            return false;
        }
        if (rule->takes == OptionRule::Takes::OptionalValue && value && value->empty()) {
            error = rule->name + "= needs a value after the '='";
            return false;
        }
        if (rule->takes == OptionRule::Takes::Value && !value) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (!rule->apply(value.value_or(std::string()), error)) {
            return false;
        }
    }
    return true;
}

bool ArgumentScanner::asksFor(const std::vector<std::string>& arguments,
                              std::initializer_list<std::string_view> names) {
    for (const std::string& argument : arguments) {
        if (argument == kEndOfOptions) {
            return false;
        }
        if (std::find(names.begin(), names.end(), argument) != names.end()) {
            return true;
        }
    }
    return false;
}

const OptionRule* ArgumentScanner::find(std::string_view name) const {
    for (const OptionRule& rule : rules_) {
        if (rule.name == name || (!rule.shortName.empty() && rule.shortName == name)) {
            return &rule;
        }
    }
    return nullptr;
}

}  // namespace dravolin
