#pragma once

#include <string>
#include <vector>

namespace dravolin {

// What the window and dravolin-cli do first, the same way.

// The program's arguments (without its name) as UTF-8, as the rest of the program keeps
// text: on Linux the bytes of argv as given; on Windows the wide command line, so that a
// path with an umlaut survives whatever the system's code page is.
std::vector<std::string> programArguments(int argc, char** argv);

// Prepares the standard streams: on Linux a pipe whose reader has gone makes a write fail
// (reported as any other write failure) instead of ending the program unannounced; on
// Windows a console shows UTF-8 (its output code page).
void prepareStandardStreams();

}  // namespace dravolin
