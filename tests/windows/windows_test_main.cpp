#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// The Windows suites' main: the settings and state folders (%APPDATA%, %LOCALAPPDATA%) of
// this process and its children point at a fresh folder, never the user's own.
int main(int argc, char** argv) {
    const std::filesystem::path home = std::filesystem::temp_directory_path() /
                                       ("dravolin-test-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(home / "Roaming");
    std::filesystem::create_directories(home / "Local");
    SetEnvironmentVariableW(L"APPDATA", (home / "Roaming").wstring().c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", (home / "Local").wstring().c_str());
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return status;
}
