#include "overlaysettings/IntegerField.h"

#include <gtest/gtest.h>

namespace kestrel::overlaysettings {
namespace {

TEST(IntegerField, AWholeSigned32BitNumberAndNothingElse)
{
    EXPECT_EQ(ParseIntegerField(QStringLiteral("42")), 42);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("  -7 ")), -7);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("+5")), 5);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("-2147483648")), INT32_MIN);
    EXPECT_EQ(ParseIntegerField(QStringLiteral("2147483647")), INT32_MAX);
    for (const char *bad : {"", " ", "+", "-", "+-5", "-+5", "--5", "++5", "2147483648", "5 5", "1e3", "0x10", "7."})
        EXPECT_FALSE(ParseIntegerField(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(ParseIntegerField(QStringLiteral("\u0661\u0662"))) << "digits of another script";
}

} // namespace
} // namespace kestrel::overlaysettings
