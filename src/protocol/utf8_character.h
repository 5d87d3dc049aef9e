#pragma once

#include <cstddef>
#include <string_view>

namespace dravolin {

// The length of the well-formed UTF-8 character at the start of `text` (which must not be
// empty) and its code point, or 0 when there is none (a stray, overlong, surrogate or
// cut-off sequence).
std::size_t utf8Character(std::string_view text, char32_t& codePoint);

}  // namespace dravolin
