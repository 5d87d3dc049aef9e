#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>

namespace dravolin {
namespace {

QString shownVersion(const AboutDialog& about) {
    return about.findChild<QLabel*>("1003")->text();
}

TEST(AboutDialog, ShowsTheCompiledVersionAndNothingWithoutItsRecord) {
    AboutDialog about;
    EXPECT_EQ(shownVersion(about), "1.1");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    AboutDialog missing(nullptr, folder.filePath("missing.json"));
    EXPECT_EQ(shownVersion(missing), "");
}

}  // namespace
}  // namespace dravolin
