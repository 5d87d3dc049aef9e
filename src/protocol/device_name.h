#pragma once

#include <string>
#include <string_view>

namespace dravolin {

// The name under which a file is stored in the programmer (0 to 8 characters): the base
// name of the path (after the last '/' or '\'), without its extension (the last dot and
// what follows), its last eight characters kept. A character the device cannot show
// (outside printable ASCII) becomes '_', one for each character, so the name never
// exceeds eight bytes.
std::string deviceNameFromPath(std::string_view path);

}  // namespace dravolin
