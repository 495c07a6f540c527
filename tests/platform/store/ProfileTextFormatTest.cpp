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

std::string Nested(std::size_t depth)
{
    std::string path = "k";
    for (std::size_t i = 1; i < depth; ++i)
        path += "\\k";
    return path;
}

bool Rejected(const std::string &text)
{
    return std::holds_alternative<ProfileParseError>(ParseProfileText(text));
}

TEST(ProfileTextFormat, HostileSizesReadAsDamageAndSizesJustWithinTheLimitsRead)
{
    using L = ProfileLimits;
    // Depth: a key path far deeper than any real one, and the limit itself.
    EXPECT_TRUE(Rejected("[" + Nested(200000) + "]\n"));
    EXPECT_TRUE(Rejected("[" + Nested(L::kMaxKeyDepth + 1) + "]\n"));
    const ProfileTree deep = ParseOrFail("[" + Nested(L::kMaxKeyDepth) + "]\n\"v\"=dword:1\n");
    EXPECT_EQ(deep.ReadValue(Nested(L::kMaxKeyDepth), "v"), ProfileValue(1u));
    EXPECT_EQ(SerializeProfileTree(ParseOrFail(SerializeProfileTree(deep))), SerializeProfileTree(deep));

    // Counts: values in one key, keys in the store.
    std::string values = "[K]\n";
    for (std::size_t i = 0; i < L::kMaxValuesPerKey; ++i)
        values += "\"" + std::to_string(i) + "\"=dword:1\n";
    EXPECT_EQ(ParseOrFail(values).ReadValue("K", std::to_string(L::kMaxValuesPerKey - 1)), ProfileValue(1u));
    EXPECT_TRUE(Rejected(values + "\"one more\"=dword:1\n"));
    values += "\"0\"=dword:2\n"; // a name written twice is still one value
    EXPECT_EQ(ParseOrFail(values).ReadValue("K", "0"), ProfileValue(2u));
    std::string keys;
    for (std::size_t i = 0; i < L::kMaxKeys; ++i)
        keys += "[" + std::to_string(i) + "]\n";
    EXPECT_EQ(ParseOrFail(keys).KeyCount(), L::kMaxKeys);
    EXPECT_TRUE(Rejected(keys + "[one more]\n"));

    // Lengths: key names, value names, strings.
    EXPECT_TRUE(Rejected("[" + std::string(L::kMaxKeyNameLength + 1, 'k') + "]\n"));
    EXPECT_FALSE(Rejected("[" + std::string(L::kMaxKeyNameLength, 'k') + "]\n"));
    EXPECT_TRUE(Rejected("[K]\n\"" + std::string(L::kMaxValueNameLength + 1, 'n') + "\"=dword:1\n"));
    EXPECT_FALSE(Rejected("[K]\n\"" + std::string(L::kMaxValueNameLength, 'n') + "\"=dword:1\n"));
    EXPECT_TRUE(Rejected("[K]\n\"v\"=\"" + std::string(L::kMaxStringBytes + 1, 's') + "\"\n"));
    EXPECT_FALSE(Rejected("[K]\n\"v\"=\"" + std::string(L::kMaxStringBytes, 's') + "\"\n"));
}

TEST(ProfileTree, ChangesBeyondTheLimitsFailAndLeaveTheTreeAsItWas)
{
    using L = ProfileLimits;
    ProfileTree tree;
    EXPECT_EQ(tree.CreateKey(Nested(L::kMaxKeyDepth + 1)), ProfileTree::Change::Failed);
    EXPECT_EQ(tree.KeyCount(), 0u);
    ASSERT_EQ(tree.CreateKey("K"), ProfileTree::Change::Changed);
    EXPECT_EQ(tree.WriteValue("K", "v", ProfileValue(std::string(L::kMaxStringBytes + 1, 's'))),
              ProfileTree::Change::Failed);
    EXPECT_FALSE(tree.ReadValue("K", "v"));
    for (std::size_t i = 1; i < L::kMaxKeys; ++i)
        ASSERT_NE(tree.CreateKey("K\\" + std::to_string(i)), ProfileTree::Change::Failed);
    EXPECT_EQ(tree.CreateKey("L\\M"), ProfileTree::Change::Failed) << "one key more than the store may hold";
    EXPECT_FALSE(tree.KeyExists("L")) << "a failed change creates nothing on the way";
    ASSERT_EQ(tree.DeleteKeyTree("K"), ProfileTree::Change::Changed);
    EXPECT_EQ(tree.KeyCount(), 0u);
    EXPECT_EQ(tree.CreateKey("L\\M"), ProfileTree::Change::Changed) << "deleting makes room again";
}

TEST(ProfileTree, DeletingAValueKeepsTheOthersFindableUnderAnyCase)
{
    ProfileTree tree;
    ASSERT_EQ(tree.CreateKey("K"), ProfileTree::Change::Changed);
    for (std::uint32_t i = 0; i < 5; ++i)
        tree.WriteValue("K", "Value" + std::to_string(i), ProfileValue(i));
    ASSERT_EQ(tree.DeleteValue("K", "VALUE1"), ProfileTree::Change::Changed);
    EXPECT_FALSE(tree.ReadValue("K", "value1"));
    for (std::uint32_t i : {0u, 2u, 3u, 4u})
        EXPECT_EQ(tree.ReadValue("K", "vAlUe" + std::to_string(i)), ProfileValue(i));
    tree.CreateKey("K\\A");
    tree.CreateKey("K\\B");
    tree.CreateKey("K\\C");
    ASSERT_EQ(tree.DeleteKeyTree("k\\a"), ProfileTree::Change::Changed);
    EXPECT_TRUE(tree.KeyExists("K\\b") && tree.KeyExists("K\\c"));
}

} // namespace
