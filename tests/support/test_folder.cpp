#include "support/test_folder.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

namespace dravolin::test {

namespace {

std::atomic<int> nextFolder{0};

}  // namespace

TestFolder::TestFolder()
    : path_(std::filesystem::temp_directory_path() /
            ("voska-sim-test-" + std::to_string(::getpid()) + "-" + std::to_string(nextFolder++))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TestFolder::write(const std::string& name, const std::string& content) const {
    const auto file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::string TestFolder::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool TestFolder::holds(const std::string& name) const {
    return std::filesystem::exists(path_ / name);
}

std::string TestFolder::listing(const std::string& under) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / under)) {
        names.insert(entry.path().filename().string());
    }
    std::string joined;
    for (const auto& name : names) {
        joined += (joined.empty() ? "" : " ") + name;
    }
    return joined;
}

std::string tagDataFile(const std::string& data, const std::string& headerStart) {
    char length[8];
    std::snprintf(length, sizeof length, "%04zu", data.size());
    return headerStart + length + data;
}

}  // namespace dravolin::test
