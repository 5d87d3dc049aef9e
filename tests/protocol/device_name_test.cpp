#include "protocol/device_name.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

struct NameCase {
    const char* path;
    const char* name;  // the bytes sent; nullptr: refused, naming `refused`
    const char* refused = "";
};

TEST(DeviceName, TheLastEightCharactersOfTheBaseNameInLatin1OrARefusalNamingTheCharacter) {
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
        NameCase{"/tmp/A B~.tiv", "A B~"},
        // Latin-1 letters go out as the programmer lists them: one byte each.
        NameCase{"/tmp/Tür.tiv",
                 "T\xfc"
                 "r"},
        NameCase{"/x/ÿ .tiv", "\xff "},
        NameCase{"/tmp/ÄÖÜäöüßÉ9.tiv",
                 "\xd6\xdc\xe4\xf6\xfc\xdf\xc9"
                 "9"},
        // Nothing is replaced: a character Latin-1 lacks, a control or a byte that is not
        // UTF-8 is named, and the file is not sent; only the characters sent count.
        NameCase{"/tmp/Euro€.tiv", nullptr, "€ (U+20AC)"},
        NameCase{"/tmp/日本.tiv", nullptr, "日 (U+65E5)"},
        NameCase{"/tmp/tab\tx.tiv", nullptr, "U+0009"},
        NameCase{"/tmp/c1\xc2\x9b.tiv", nullptr, "U+009B"},
        NameCase{"/x/T\xfcr.tiv", nullptr, "\\xfc"},
        NameCase{"/x/\xc3\xbc\x80.tiv", nullptr, "\\x80"}, NameCase{"/x/€ABCDEFGH.tiv", "ABCDEFGH"},
        // Nothing left of a name.
        NameCase{"/tmp/.tiv", ""}, NameCase{"/tmp/", ""}, NameCase{"", ""}};
    for (const NameCase& c : cases) {
        UnsendableCharacter unsendable;
        const std::optional<std::string> name = deviceNameFromPath(c.path, unsendable);
        if (c.name != nullptr) {
            EXPECT_EQ(name, std::string(c.name)) << c.path;
        } else {
            EXPECT_FALSE(name) << c.path;
            EXPECT_EQ(unsendable.shown, c.refused) << c.path;
            EXPECT_EQ(unsendable.notUtf8, c.refused[0] == '\\') << c.path;
        }
    }
}

}  // namespace
}  // namespace dravolin
