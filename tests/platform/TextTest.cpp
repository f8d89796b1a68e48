#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane::platform {
namespace {

TEST(TextTest, Utf8IsRecognisedExactlyAndOtherBytesAreEncodedLosslessly) {
    EXPECT_TRUE(isValidUtf8("plain/path"));
    EXPECT_TRUE(isValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7"));  // é € 📷
    EXPECT_FALSE(isValidUtf8("caf\xE9"));                                 // Latin-1
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));                                // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));                            // overlong, three bytes
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));                            // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));                        // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));                                // cut short

    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("/a\xFF\xFE"), "L2H//g==");

    // Decoding gives back every byte, with or without padding, and refuses
    // what is not base64.
    for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"), std::string("/a\xFF\xFE"),
                                    std::string("\0\x01\x80 line\nbreak", 15)})
        EXPECT_EQ(base64Decode(base64Encode(bytes)), bytes);
    EXPECT_EQ(base64Decode("Zm8"), "fo");
    EXPECT_FALSE(base64Decode("Zm9v!"));
    EXPECT_FALSE(base64Decode("Z"));

    // The readable form: each stray byte one U+FFFD, valid text unchanged.
    EXPECT_EQ(utf8Replacing("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(utf8Replacing("a\xFF\xFE" "b"), "a\xEF\xBF\xBD\xEF\xBF\xBD" "b");
    EXPECT_EQ(utf8Replacing("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_TRUE(isValidUtf8(utf8Replacing("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80")));
}

TEST(TextTest, OneExtensionRuleForCategoriesExclusionsAndGroupNames) {
    const std::vector<std::pair<std::string_view, std::string_view>> cases = {
        {"photo.JPG", "JPG"},      {"archive.tar.gz", "gz"}, {".bashrc", ""},
        {".config.json", "json"},  {"README", ""},           {"name.", ""},
        {"", ""},                  {".", ""},                {"..", ""},
        {"dir.d/file", ""},        {"/a/b/c.Txt", "Txt"},    {"/a/b/c.txt//", "txt"},
        {"/a/b/.hidden", ""},      {"weird\xff.\xfe", "\xfe"},
    };
    for (const auto& [name, extension] : cases) EXPECT_EQ(pathExtension(name), extension) << "name: " << name;
}

TEST(TextTest, NameWithoutExtensionIsTheRestOfTheSameRule) {
    const std::vector<std::pair<std::string_view, std::string_view>> cases = {
        {"a.b.c", "a.b"}, {".hidden", ".hidden"}, {".hidden.txt", ".hidden"}, {"trailing.", "trailing."},
        {"x", "x"},       {"Photo.JPG", "Photo"}, {"archive.tar.gz", "archive.tar"}};
    for (const auto& [name, stem] : cases) {
        EXPECT_EQ(nameWithoutExtension(name), stem) << name;
        // The two halves give the name back.
        const std::string_view extension = pathExtension(name);
        EXPECT_EQ(extension.empty() ? std::string(stem) : std::string(stem) + "." + std::string(extension), name);
    }
    EXPECT_EQ(asciiLowercased("Caf\xC3\x89 JPG"), "caf\xC3\x89 jpg");  // only ASCII letters change
}

}  // namespace
}  // namespace kestrane::platform
