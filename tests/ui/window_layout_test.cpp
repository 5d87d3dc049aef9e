#include "ui/window_layout.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

TEST(WindowLayout, ClientOf400By300PlacesEveryControl) {
    const WindowLayout layout = WindowLayout::forClientSize(QSize(400, 300));
    EXPECT_EQ(layout.functionGroup, QRect(10, 15, 120, 75));
    EXPECT_EQ(layout.functionList, QRect(20, 33, 100, 45));
    EXPECT_EQ(layout.fileGroup, QRect(10, 114, 120, 150));
    EXPECT_EQ(layout.fileList, QRect(20, 129, 100, 126));
    EXPECT_EQ(layout.statusLine, QRect(2, 278, 396, 21));
    EXPECT_EQ(layout.picture, QRect(136, 6, 264, 294));
}

}  // namespace
}  // namespace dravolin
