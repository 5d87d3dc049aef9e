#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "protocol/file_saver.h"

namespace dravolin {

// The system's side of a save: where the bytes go and what is there now, a temporary file
// in the target's folder, and the move onto the target. FileSaver runs the one sequence of
// a save through it; each system has its twin. A call that fails keeps the system's reason
// for errorText().
class SaveTarget {
public:
    enum class Creating { Created, NameTaken, Failed };
    enum class Placing { Placed, Occupied, Failed };

    SaveTarget();
    // Removes the temporary file unless it was put in place.
    ~SaveTarget();
    SaveTarget(const SaveTarget&) = delete;
    SaveTarget& operator=(const SaveTarget&) = delete;

    // Finds the folder and name the save goes to and what is there, following symbolic
    // links unless a new file only is wanted.
    bool locate(const std::filesystem::path& path, FileSaver::IfExists ifExists);
    bool exists() const;
    // What is there when it is not a regular file ("a folder", "a FIFO"); empty otherwise.
    std::string otherKind() const;
    // Read-only binds administrators too: the system's attribute or mode decides, never a
    // trial.
    bool readOnly() const;

    // The temporary file, made new under `name` in the target's folder.
    Creating createTemporary(const std::string& name);
    // What the temporary file keeps of the file it replaces, given before any byte is
    // written.
    bool takeOverFromReplaced();
    bool write(std::span<const std::uint8_t> bytes);
    bool flush();
    bool closeTemporary();
    // Moves the temporary file to the target's name: over what is there, or only where
    // nothing is (Occupied when something is, by then).
    Placing putInPlace(FileSaver::IfExists ifExists);
    // Makes the move itself durable where the system needs that done apart.
    bool flushFolder();

    const std::string& errorText() const;

    // Tells the temporary names of two programs saving at once apart.
    static unsigned long long processNumber();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace dravolin
