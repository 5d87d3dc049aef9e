#pragma once

#include <string>
#include <vector>

namespace dravolin {

// The program's arguments (without its name) as UTF-8, as the rest of the program keeps
// text: on Linux the bytes of argv as given; on Windows the wide command line, so that a
// path with an umlaut survives whatever the console's code page is.
std::vector<std::string> programArguments(int argc, char** argv);

// Makes the console show UTF-8 output (Windows: its output code page); nothing on Linux.
void prepareConsole();

}  // namespace dravolin
