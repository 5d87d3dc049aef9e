#pragma once

#include <string>
#include <vector>

namespace dravolin {

// The program's arguments (without its name) as UTF-8, as the rest of the program keeps
// text: on Linux the bytes of argv as given; on Windows the wide command line, so that a
// path with an umlaut survives whatever the console's code page is.
std::vector<std::string> programArguments(int argc, char** argv);

// Prepares standard output: on Linux a closed pipe becomes a write error rather than the
// end of the program; on Windows the console shows UTF-8 (its output code page).
void prepareConsole();

}  // namespace dravolin
