#pragma once

#include <filesystem>

namespace dravolin::test {

// Points the settings folder (XDG_CONFIG_HOME), the state folder (XDG_STATE_HOME) and the
// folder of the serial lock files (DRAVOLIN_LOCK_DIR) of this test process and every
// program it starts at a fresh folder of its own, so that no test reads or changes the
// user's settings or the machine's locks. The folder goes when the process ends.
void isolateFromUserFiles();

}  // namespace dravolin::test
