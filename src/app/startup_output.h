#pragma once

#include <cstdio>
#include <string>

namespace dravolin {

// Where text asked for before the window opens (--help, --version, a usage error) goes.
// On Linux standard output and error are where the operator looks. A Windows window
// program has no console of its own, so its output would go nowhere from cmd: a stream
// that was not redirected is replaced by the console of the program that started it, and
// where there is no such console the text is shown in a box (startup_output_win32.cpp).

// The stream to write to in place of `stream` (stdout or stderr); nullptr when text
// written there would reach no one.
std::FILE* streamToOperator(std::FILE* stream);

// Shows `text` in a message box, for when no stream reaches the operator.
void showInBox(const std::string& text, bool failure);

}  // namespace dravolin
