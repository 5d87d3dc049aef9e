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
        {R"(C:\DATA\TAG00017.tiv)", "TAG00017"},
        {R"(C:\daten\AB.tiv)", "AB"},
        {R"(C:\daten\LANGERNAME.tiv)", "NGERNAME"},
        // Short paths no longer leak the extension into the name.
        {R"(C:\AB.tiv)", "AB"},
        {"/tmp/AB.tiv", "AB"},
        // Linux paths give the base name, not fragments of the folders.
        {"/home/operator/data/LANGERNAME.tiv", "NGERNAME"},
        {"relative/x.tiv", "x"},
        // Extensions of other lengths and names without one.
        {"/tmp/TAG1.t", "TAG1"},
        {"/tmp/TAG2.tivdata", "TAG2"},
        {"/tmp/NOEXT", "NOEXT"},
        {"/tmp/TWELVECHARS1", "VECHARS1"},
        {"/tmp/a.b.tiv", "a.b"},
        {"/data.d/NAME", "NAME"},
        // Mixed separators: the last of either kind ends the folders.
        {R"(C:\mixed/dir\TAG9.tiv)", "TAG9"},
        {R"(/a\b/TAG8.tiv)", "TAG8"},
        {"/tmp/A B~.tiv", "A B~"},
        // Latin-1 letters go out as the programmer lists them: one byte each.
        {"/tmp/Tür.tiv", "T\xfcr"},
        {"/tmp/Grüße.tiv",
         "Gr\xfc\xdf"
         "e"},
        {"/tmp/ÄÖÜäöüßÉ9.tiv",
         "\xd6\xdc\xe4\xf6\xfc\xdf\xc9"
         "9"},
        {"/x/ÿ .tiv", "\xff "},
        // Nothing is replaced: a character Latin-1 lacks, a control or a byte that is not
        // UTF-8 is named, and the file is not sent.
        {"/tmp/Euro€.tiv", nullptr, "€ (U+20AC)"},
        {"/tmp/日本.tiv", nullptr, "日 (U+65E5)"},
        {"/tmp/tab\tx.tiv", nullptr, "U+0009"},
        {"/tmp/c1\xc2\x9b.tiv", nullptr, "U+009B"},
        {"/x/T\xfcr.tiv", nullptr, "\\xfc"},
        {"/x/\xc3\xbc\x80.tiv", nullptr, "\\x80"},
        // Only the characters sent count.
        {"/x/€ABCDEFGH.tiv", "ABCDEFGH"},
        // Nothing left of a name.
        {"/tmp/.tiv", ""},
        {"/tmp/", ""},
        {"", ""}};
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
