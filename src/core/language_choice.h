#pragma once

#include <optional>
#include <string_view>

#include "core/message_catalog.h"

namespace dravolin {

// The interface language a locale asks for. As POSIX decides the locale of messages, the
// first non-empty of LC_ALL, LC_MESSAGES and LANG counts; a German locale ("de",
// "de_DE.UTF-8", "de_AT@euro", ...) gives German, anything else, unset included, English.
Language languageFromLocale(std::string_view lcAll, std::string_view lcMessages,
                            std::string_view lang);

// The same, read from this process's environment.
Language languageFromEnvironment();

// The value of --language: "de" or "en"; nothing for anything else.
std::optional<Language> languageFromName(std::string_view name);

}  // namespace dravolin
