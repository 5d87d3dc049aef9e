#include "protocol/regular_file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "protocol/file_saver.h"
#include "protocol/wide_text.h"

// The Windows twin: a UTF-16 path, binary mode (no line-end translation of the bytes).

namespace dravolin {

UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason) {
    const std::wstring native = path.native();
    const std::string shown = narrowed(native);
    struct _stat64 status {};
    if (::_wstat64(native.c_str(), &status) != 0) {
        reason = "cannot open " + shown + ": " + std::strerror(errno);
        return UniqueFd();
    }
    if (!S_ISREG(status.st_mode)) {
        reason = shown + " is " + FileSaver::kindOfFile(status.st_mode) + ", not a regular file";
        return UniqueFd();
    }
    UniqueFd file(::_wopen(native.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT));
    if (!file.isOpen()) {
        reason = "cannot open " + shown + ": " + std::strerror(errno);
    }
    return file;
}

}  // namespace dravolin
