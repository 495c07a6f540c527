#include "platform/store/ProfileTextFormat.h"

#include <gtest/gtest.h>

using namespace kestrel::platform;

namespace {

ProfileTree ParseOrFail(std::string_view text)
{
    auto parsed = ParseProfileText(text);
    if (auto *error = std::get_if<ProfileParseError>(&parsed)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->reason;
        return {};
    }
    return std::get<ProfileTree>(std::move(parsed));
}

TEST(ProfileTextFormat, AwkwardStringsAndExtremeNumbersSurviveARoundTrip)
{
    const std::string key = "Software\\ORVA\\Kestrel\\Settings";
    const std::string awkward = "a \"quoted\" back\\slash\nnew line\ttab\r\x01\x7f end ] [ ; # \xe4\xb8\xad\xe6\x96\x87";
    ProfileTree tree;
    ASSERT_EQ(tree.CreateKey(key), ProfileTree::Change::Changed);
    ASSERT_EQ(tree.CreateKey("Software\\Empty Key With Spaces "), ProfileTree::Change::Changed);
    tree.WriteValue(key, "VideoInputDevice", ProfileValue(awkward));
    tree.WriteValue(key, "name \"with\" = sign", ProfileValue(0xFFFFFFFFu));
    tree.WriteValue(key, "", ProfileValue(0u));

    const ProfileTree reread = ParseOrFail(SerializeProfileTree(tree));
    EXPECT_EQ(reread.ReadValue(key, "VideoInputDevice"), ProfileValue(awkward));
    EXPECT_EQ(reread.ReadValue(key, "name \"with\" = sign"), ProfileValue(0xFFFFFFFFu));
    EXPECT_EQ(reread.ReadValue(key, ""), ProfileValue(0u));
    EXPECT_TRUE(reread.KeyExists("Software\\Empty Key With Spaces ")) << "keys without values must be kept";
    EXPECT_EQ(SerializeProfileTree(reread), SerializeProfileTree(tree));
}

TEST(ProfileTextFormat, HandEditedFileWithCommentsBlankLinesAndCrLfIsRead)
{
    const ProfileTree tree = ParseOrFail("; mine\r\n\r\n# also a comment\r\n"
                                         "[Software\\ORVA\\Kestrel\\Settings]\r\n"
                                         "  \"PositionIndex\"=dword:FFFFFFFF  \r\n"
                                         "\"Key\"=dword:56\r\n");
    EXPECT_EQ(tree.ReadValue("Software\\ORVA\\Kestrel\\Settings", "PositionIndex"), ProfileValue(0xFFFFFFFFu));
    EXPECT_EQ(tree.ReadValue("Software\\ORVA\\Kestrel\\Settings", "Key"), ProfileValue(0x56u));
}

TEST(ProfileTextFormat, DamagedTextIsRejectedWithItsLine)
{
    const struct {
        const char *text;
        int line;
    } cases[] = {
        {"\"Key\"=dword:1\n", 1},                       // value before any key
        {"[Software]\n\"Key\"=dword:123456789\n", 2},   // more than 32 bits
        {"[Software]\n\"Key\"=dword:12g4\n", 2},        // not hexadecimal
        {"[Software]\n\"Key\"=dword:\n", 2},            // no digits
        {"[Software]\n\"Key\"=\"open string\n", 2},     // no closing quote
        {"[Software]\n\"Key\"=\"bad \\q escape\"\n", 2},
        {"[Software]\n\"Key\"=\"x\" trailing\n", 2},
        {"[Software]\n\"Key\"=\"\\x00\"\n", 2},         // an escaped NUL would cut the string
        {"[Software\\\\Double]\n", 1},
        {"[Software\n", 1},
        {"[Software]\nKey=dword:1\n", 2},               // unquoted name
        {"[Software]\n\"Key\"=hex:01,02\n", 2},         // a type we do not store
        {"\x89PNG\r\n\x1a\n", 1},                       // not a text file at all
    };
    for (const auto &c : cases) {
        auto parsed = ParseProfileText(c.text);
        ASSERT_TRUE(std::holds_alternative<ProfileParseError>(parsed)) << c.text;
        EXPECT_EQ(std::get<ProfileParseError>(parsed).line, c.line) << c.text;
    }
    EXPECT_TRUE(std::holds_alternative<ProfileParseError>(ParseProfileText(std::string_view("[A]\n\"K\"=dword:1\0\n", 17))));
}

} // namespace
