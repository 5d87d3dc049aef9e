#include "support/user_files.h"

#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace dravolin::test {

namespace {

std::filesystem::path isolationFolder;

void removeIsolationFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(isolationFolder, ignored);
}

}  // namespace

void isolateFromUserFiles() {
    if (!isolationFolder.empty()) {
        return;
    }
    std::string folder = (std::filesystem::temp_directory_path() / "dravolin-test-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::abort();  // running against the user's own files is worse than not running
    }
    isolationFolder = folder;
    std::atexit(removeIsolationFolder);
    for (const char* name : {"config", "state", "lock"}) {
        std::filesystem::create_directories(isolationFolder / name);
    }
    ::setenv("XDG_CONFIG_HOME", (isolationFolder / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (isolationFolder / "state").c_str(), 1);
    ::setenv("DRAVOLIN_LOCK_DIR", (isolationFolder / "lock").c_str(), 1);
}

}  // namespace dravolin::test
