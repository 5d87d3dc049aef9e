#include "core/language_choice.h"

namespace dravolin {

namespace {

// "de" alone or followed by a territory, a code set or a modifier; "default" or "dex"
// name no German locale.
bool namesGermanLocale(std::string_view locale) {
    if (!locale.starts_with("de")) {
        return false;
    }
    if (locale.size() == 2) {
        return true;
    }
    const char next = locale[2];
    return next == '_' || next == '.' || next == '@';
}

}  // namespace

Language languageFromLocale(std::string_view lcAll, std::string_view lcMessages,
                            std::string_view lang) {
    for (const std::string_view locale : {lcAll, lcMessages, lang}) {
        if (!locale.empty()) {
            return namesGermanLocale(locale) ? Language::German : Language::English;
        }
    }
    return Language::English;
}

std::optional<Language> languageFromName(std::string_view name) {
    if (name == "de") {
        return Language::German;
    }
    if (name == "en") {
        return Language::English;
    }
    return std::nullopt;
}

}  // namespace dravolin
