#pragma once

#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/programmer_search.h"

namespace dravolin {

// What `dravolin-cli find` prints. Found: one line on stdout, tab-separated: the device
// (its stable name where it has one), the settings as BAUD,PARITY,STOP and the number of
// files. Nothing found: a line per device on stderr saying what was tried or why it was
// left alone, and the status letters that came back instead of a directory, with their
// settings. Device names are escaped as the programmer's names are.
std::string foundAsText(const SearchResult::Found& found);
std::vector<std::string> triedLines(const SearchResult& result, Language language);

// The whole result as one JSON object, for scripts: {"found": true, "device": ...,
// "path": ..., "baud": ..., "parity": ..., "stopBits": ..., "files": ...} or
// {"found": false, "devices": [{"device": ..., "tries": ..., "skipped": ..., "letters":
// [{"letter": "X", "baud": ..., "parity": ..., "stopBits": ...}, ...]}, ...]}.
std::string searchAsJson(const SearchResult& result, Language language);

}  // namespace dravolin
