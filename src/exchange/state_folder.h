#pragma once

#include <string>

namespace dravolin {

// The folder where the programs keep what they record for the operator (the transfer log,
// the window's protocol trace): $XDG_STATE_HOME/dravolin, or ~/.local/state/dravolin when
// XDG_STATE_HOME is unset or not an absolute path.
std::string stateFolder();

// Makes `folder` and any missing folder above it, each new one readable by its owner only
// (the log names the operator's files). False with the reason when that fails.
bool makeFolderPath(const std::string& folder, std::string& error);

}  // namespace dravolin
