#pragma once

#include <filesystem>
#include <string>

#include "protocol/frames.h"

namespace dravolin::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool holds(const std::string& name) const;
    // The names of the files in it (or in its folder `under`), sorted.
    std::string listing(const std::string& under = {}) const;

private:
    std::filesystem::path path_;
};

// The bytes of `text`, as frames and replies carry them.
inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A tag-data file: 4 free header bytes, the length as four digits, then the data.
std::string tagDataFile(const std::string& data, const std::string& headerStart = "HD01");

}  // namespace dravolin::test
