#include <cstdlib>

#include "core/language_choice.h"

namespace dravolin {

namespace {

std::string_view environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

Language languageFromEnvironment() {
    return languageFromLocale(environmentValue("LC_ALL"), environmentValue("LC_MESSAGES"),
                              environmentValue("LANG"));
}

}  // namespace dravolin
