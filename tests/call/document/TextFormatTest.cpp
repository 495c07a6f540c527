#include "call/document/TextFormat.h"

#include <gtest/gtest.h>

namespace kestrel::call {
namespace {

TEST(TextFormat, FillsEachPlaceholderOnceAndNeverReadsArgumentsAsPatterns)
{
    EXPECT_EQ(FormatText("hostname: %s, hostip: %s\n", {"vm", "10.0.0.2"}), "hostname: vm, hostip: 10.0.0.2\n");
    EXPECT_EQ(FormatText("There is a call from %s\n Accept call?", {"%s%n%x"}),
              "There is a call from %s%n%x\n Accept call?");
    EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and ");
    EXPECT_EQ(FormatText("100%% %d %", {}), "100% %d %");
}

} // namespace
} // namespace kestrel::call
