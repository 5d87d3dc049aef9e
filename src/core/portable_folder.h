#pragma once

#include <string>

namespace dravolin {

// Windows only. A copy of the programs unpacked anywhere (a USB stick) is portable while a
// file portable.ini lies beside them: it then keeps its settings and logs in that folder,
// beside the programs, and nothing in the user's profile. The folder of the running
// program when it is such a copy; empty otherwise.
std::wstring portableFolder();

}  // namespace dravolin
