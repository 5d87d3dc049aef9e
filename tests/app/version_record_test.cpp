#include "app/version_record.h"

#include <gtest/gtest.h>

#include "ui/resources.h"

namespace dravolin {
namespace {

constexpr const char* kFileVersion = "\\StringFileInfo\\040704b0\\FileVersion";

TEST(VersionRecord, CompiledRecordNamesVersionOnePointOne) {
    loadResources();
    const std::optional<VersionRecord> record = VersionRecord::load(kVersionRecordPath);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(kFileVersion), "1.1");
    EXPECT_EQ(record->value("\\StringFileInfo\\040704b0\\ProductVersion"), "1.1");
    EXPECT_EQ(record->value("\\StringFileInfo\\040704b0\\FileDescription"), "Dravolin");
    EXPECT_EQ(record->value("\\StringFileInfo\\040704b0\\InternalName"), "Dravolin");
    EXPECT_EQ(record->value("\\StringFileInfo\\040704b0\\OriginalFilename"), "Dravolin.exe");
    EXPECT_EQ(record->value("\\FixedFileInfo\\FileVersion"), "1.0.0.1");
    EXPECT_EQ(record->value("\\FixedFileInfo\\ProductVersion"), "1.0.0.1");
}

TEST(VersionRecord, PathsThatNameNoTextGiveNothing) {
    const std::optional<VersionRecord> record = VersionRecord::fromJson(
        R"({"StringFileInfo": {"040704b0": {"FileVersion": "2.0", "Build": 7}}})");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->value(kFileVersion), "2.0");
    // Another language's table, a table instead of a value, a number, nothing at all.
    EXPECT_FALSE(record->value("\\StringFileInfo\\040904b0\\FileVersion").has_value());
    EXPECT_FALSE(record->value("\\StringFileInfo\\040704b0").has_value());
    EXPECT_FALSE(record->value("\\StringFileInfo\\040704b0\\Build").has_value());
    EXPECT_FALSE(record->value("\\").has_value());
    EXPECT_FALSE(record->value("").has_value());
    EXPECT_FALSE(record->value("\\StringFileInfo\\040704b0\\FileVersion\\More").has_value());
}

TEST(VersionRecord, MissingOrDamagedRecordsAreRefused) {
    EXPECT_FALSE(VersionRecord::load(":/dravolin/no_such_record.json").has_value());
    EXPECT_FALSE(VersionRecord::fromJson("").has_value());
    EXPECT_FALSE(VersionRecord::fromJson("{\"StringFileInfo\": ").has_value());
    EXPECT_FALSE(VersionRecord::fromJson("[\"1.1\"]").has_value());
}

}  // namespace
}  // namespace dravolin
