#include "protocol/file_saver.h"

#include <atomic>
#include <chrono>

#include "protocol/path_text.h"
#include "protocol/save_target.h"

// The sequence of a save, the same on every system; the system's calls are in
// save_target_posix.cpp and save_target_win32.cpp.

namespace dravolin {

namespace {

constexpr int kTemporaryNameAttempts = 100;

FileSaver::Result failure(std::string reason) {
    return FileSaver::Result{false, std::move(reason)};
}

// A short name no one else picks by chance, so that a legal target name never makes it too
// long; the exclusive create settles the rare collision.
std::string temporaryName(int attempt) {
    static std::atomic<unsigned> serial{0};
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= (SaveTarget::processNumber() << 32) ^ serial++ ^
            static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ULL;
    std::string name = ".dravolin-";
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name.push_back(kLetters[(seed >> 33) % (sizeof kLetters - 1)]);
    }
    return name;
}

bool createTemporary(SaveTarget& target) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        switch (target.createTemporary(temporaryName(attempt))) {
            case SaveTarget::Creating::Created:
                return true;
            case SaveTarget::Creating::Failed:
                return false;
            case SaveTarget::Creating::NameTaken:
                break;
        }
    }
    return false;
}

// What stops the save from replacing what is there; empty when nothing does.
std::string whatForbidsReplacing(const std::string& shown, const SaveTarget& target,
                                 FileSaver::IfExists ifExists) {
    if (!target.exists()) {
        return {};
    }
    if (ifExists == FileSaver::IfExists::Keep) {
        return shown + " exists already; it was left as it was";
    }
    if (const std::string kind = target.otherKind(); !kind.empty()) {
        return shown + " is " + kind + ", not a regular file; it was left as it was";
    }
    if (target.readOnly()) {
        return shown + " is read-only; it was left as it was";
    }
    return {};
}

}  // namespace

FileSaver::Result FileSaver::save(const std::filesystem::path& path,
                                  std::span<const std::uint8_t> bytes, IfExists ifExists) {
    const std::string shown = textOfPath(path);
    SaveTarget target;
    auto failed = [&](const std::string& what) {
        return failure(what + " " + shown + ": " + target.errorText());
    };
    if (!target.locate(path, ifExists)) {
        return failed("cannot save");
    }
    if (std::string problem = whatForbidsReplacing(shown, target, ifExists); !problem.empty()) {
        return failure(std::move(problem));
    }
    if (!createTemporary(target)) {
        return failed("cannot create a file beside");
    }
    if (target.exists() && !target.takeOverFromReplaced()) {
        return failed("cannot set the permissions of");
    }
    if (!target.write(bytes)) {
        return failed("cannot write");
    }
    if (!target.flush()) {
        return failed("cannot flush");
    }
    if (!target.closeTemporary()) {
        return failed("cannot close");
    }
    switch (target.putInPlace(ifExists)) {
        case SaveTarget::Placing::Placed:
            break;
        case SaveTarget::Placing::Occupied:
            return failure(shown + " exists already; it was left as it was");
        case SaveTarget::Placing::Failed:
            return failed("cannot replace");
    }
    if (!target.flushFolder()) {
        return failure("saved " + shown +
                       ", but its folder could not be flushed to disk: " + target.errorText());
    }
    return {true, {}};
}

}  // namespace dravolin
