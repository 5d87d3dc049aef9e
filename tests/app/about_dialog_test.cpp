#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>

namespace dravolin {
namespace {

QString shownVersion(const AboutDialog& about) {
    return about.findChild<QLabel*>("1003")->text();
}

TEST(AboutDialog, ShowsTheCompiledVersion) {
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), "Info Dravolin");
    EXPECT_EQ(shownVersion(about), "1.1");
    EXPECT_EQ(about.versionText(), "1.1");
    bool captionShown = false;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        captionShown = captionShown || label->text() == "Dravolin Version";
    }
    EXPECT_TRUE(captionShown);
    // The icon is there.
    bool iconShown = false;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        iconShown = iconShown || !label->pixmap().isNull();
    }
    EXPECT_TRUE(iconShown);
}

TEST(AboutDialog, MissingOrIncompleteRecordShowsNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    AboutDialog missing(nullptr, folder.filePath("missing.json"));
    EXPECT_EQ(shownVersion(missing), "");

    const QString otherTable = folder.filePath("other.json");
    QFile file(otherTable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"StringFileInfo": {"040904b0": {"FileVersion": "9.9"}}})");
    file.close();
    AboutDialog incomplete(nullptr, otherTable);
    EXPECT_EQ(shownVersion(incomplete), "");

    const QString garbage = folder.filePath("garbage.json");
    QFile damaged(garbage);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x01\x02\xff version 1.1");
    damaged.close();
    AboutDialog unreadable(nullptr, garbage);
    EXPECT_EQ(shownVersion(unreadable), "");
}

TEST(AboutDialog, LongVersionTextIsShownWhole) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("long.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"StringFileInfo": {"040704b0": {"FileVersion": "1.1.2024.12345-beta"}}})");
    file.close();
    AboutDialog about(nullptr, path);
    EXPECT_EQ(about.versionText(), "1.1.2024.12345-beta");
}

}  // namespace
}  // namespace dravolin
