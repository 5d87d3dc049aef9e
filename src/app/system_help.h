#pragma once

#include <QString>

#include <string>

#include "core/message_catalog.h"

namespace dravolin {

// What the window's help and `dravolin --help` say where Linux and Windows differ: which
// device a Com port stands for, where the programs keep their files, what chooses the
// language and why a port may not open. system_help_posix.cpp and system_help_win32.cpp
// each say it of their own system.

// The help window's section on the serial port (HTML).
QString serialPortHelp(Language language);
// Where the transfer log is, as the operator finds it.
QString transferLogLocation();

// `dravolin --help`: the lines of the --port and --language options, and the closing
// paragraph on the files kept.
std::string portOptionHelp();
std::string languageOptionHelp();
std::string keptFilesHelp();

}  // namespace dravolin
