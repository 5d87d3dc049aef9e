#include "protocol/device_name.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

struct NameCase {
    const char* path;
    const char* name;
};

TEST(DeviceName, FromPath) {
    const NameCase cases[] = {
        // The names the device has always been given for these paths.
        NameCase{R"(C:\DATA\TAG00017.tiv)", "TAG00017"}, NameCase{R"(C:\daten\AB.tiv)", "AB"},
        NameCase{R"(C:\daten\LANGERNAME.tiv)", "NGERNAME"},
        // Short paths no longer leak the extension into the name.
        NameCase{R"(C:\AB.tiv)", "AB"}, NameCase{"/tmp/AB.tiv", "AB"},
        // Linux paths give the base name, not fragments of the folders.
        NameCase{"/home/operator/data/LANGERNAME.tiv", "NGERNAME"}, NameCase{"relative/x.tiv", "x"},
        // Extensions of other lengths and names without one.
        NameCase{"/tmp/TAG1.t", "TAG1"}, NameCase{"/tmp/TAG2.tivdata", "TAG2"},
        NameCase{"/tmp/NOEXT", "NOEXT"}, NameCase{"/tmp/TWELVECHARS1", "VECHARS1"},
        NameCase{"/tmp/a.b.tiv", "a.b"}, NameCase{"/data.d/NAME", "NAME"},
        // Mixed separators: the last of either kind ends the folders.
        NameCase{R"(C:\mixed/dir\TAG9.tiv)", "TAG9"}, NameCase{R"(/a\b/TAG8.tiv)", "TAG8"},
        // Characters the device cannot show become one '_' each.
        NameCase{"/tmp/Grüße.tiv", "Gr__e"}, NameCase{"/tmp/tab\tx.tiv", "tab_x"},
        NameCase{"/tmp/A B~.tiv", "A B~"},  // the printable ends stay
        NameCase{"/tmp/ÄÖÜäöüßÉ9.tiv", "_______9"}, NameCase{"/tmp/日本.tiv", "__"},
        NameCase{"/x/ÄÄÄÄÄÄÄÄÄÄÄÄ.tiv", "________"},
        NameCase{"/x/\xff\xfe\xfd.tiv", "___"},  // invalid UTF-8: one each
        // A stray continuation after a whole character, and a lead no character has.
        NameCase{"/x/\xc3\xbc\x80.tiv", "__"}, NameCase{"/x/\xf5\x80\x80\x80.tiv", "____"},
        // Nothing left of a name.
        NameCase{"/tmp/.tiv", ""}, NameCase{"/tmp/", ""}, NameCase{"", ""}};
    for (const NameCase& c : cases) {
        EXPECT_EQ(deviceNameFromPath(c.path), c.name) << c.path;
    }
}

}  // namespace
}  // namespace dravolin
