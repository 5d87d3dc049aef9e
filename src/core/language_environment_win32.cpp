#include <windows.h>

#include "core/language_choice.h"

// The Windows twin: the language of the user's interface, as chosen in the Settings app
// (GetUserDefaultUILanguage); any German variant gives German.

namespace dravolin {

Language languageFromEnvironment() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? Language::German
                                                                    : Language::English;
}

}  // namespace dravolin
