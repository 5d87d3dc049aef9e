#pragma once

#include <string>

namespace dravolin {

// What `dravolin-cli --help` says where Linux and Windows differ: which device a Com port
// stands for, what chooses the language, how a name is quoted on the command line, where
// the files are kept and which stops end a run. system_usage_posix.cpp and
// system_usage_win32.cpp each say it of their own system.

std::string defaultDeviceUsage();    // what Com N is without a choice
std::string defaultLanguageUsage();  // what chooses German without --language
std::string quotedNameUsage();       // a listed name given back to get
std::string keptFilesUsage();        // the paragraph on the files kept (lines of text)
std::string stoppedUsage();          // the exit statuses of a stopped run (lines of text)

}  // namespace dravolin
