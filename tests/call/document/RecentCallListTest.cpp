#include "call/document/RecentCallList.h"
#include "platform/store/MemoryProfileStore.h"

#include <gtest/gtest.h>

namespace kestrel::call {
namespace {

struct RecentCalls : ::testing::Test {
    platform::MemoryProfileStore store;
    platform::AppProfile profile{store};
    CRecentCallList list{profile, "/home/player"};
};

TEST_F(RecentCalls, KeepsTenNewestFirstInFile1ToFile10)
{
    for (int i = 1; i <= 12; ++i)
        list.Add("10.0.0." + std::to_string(i));
    const auto entries = list.Entries();
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries.front(), "/home/player/10.0.0.12");
    EXPECT_EQ(entries.back(), "/home/player/10.0.0.3");
    EXPECT_EQ(profile.GetProfileString("Recent File List", "File1", ""), "/home/player/10.0.0.12");
    EXPECT_EQ(profile.GetProfileString("Recent File List", "File10", ""), "/home/player/10.0.0.3");
    EXPECT_EQ(profile.GetProfileString("Recent File List", "File11", "none"), "none");
}

TEST_F(RecentCalls, AnEqualEntryMovesToTheFrontWhateverItsCase)
{
    list.Add("alpha");
    list.Add("beta");
    list.Add("ALPHA");
    const auto entries = list.Entries();
    EXPECT_EQ(entries[0], "/home/player/ALPHA");
    EXPECT_EQ(entries[1], "/home/player/beta");
    EXPECT_EQ(entries[2], "");
}

TEST_F(RecentCalls, AnEmptyNameIsNotKept)
{
    list.Add("");
    EXPECT_EQ(list.Entries()[0], "");
    EXPECT_TRUE(list.HistoryItems().empty());
}

TEST_F(RecentCalls, HistoryLeavesOutANameThatAnEarlierItemBeginsWith)
{
    list.Add("192.168.0.1");
    list.Add("192.168.0.10"); // newest first: .10 is listed, then .1 begins it
    EXPECT_EQ(list.HistoryItems(), (std::vector<std::string>{"192.168.0.10"}));

    list.Add("192.168.0.1"); // .1 is newest now, and no item begins with .10, so both are listed
    EXPECT_EQ(list.HistoryItems(), (std::vector<std::string>{"192.168.0.1", "192.168.0.10"}));
}

TEST_F(RecentCalls, HistoryShowsTheTextAfterTheLastSeparator)
{
    profile.WriteProfileString("Recent File List", "File1", "C:\\Program Files\\ORVA\\Kestrel\\Gamer-PC");
    profile.WriteProfileString("Recent File List", "File3", "/srv/host.example");
    EXPECT_EQ(list.HistoryItems(), (std::vector<std::string>{"Gamer-PC", "host.example"}));
}

TEST(RecentCallSelection, SearchesFromTheSecondItemAndWrapsRound)
{
    const std::vector<std::string> items = {"game-box", "Game-room", "other"};
    EXPECT_EQ(CRecentCallList::FindItemStartingWith(items, "game"), 1); // the second item first
    EXPECT_EQ(CRecentCallList::FindItemStartingWith(items, "game-b"), 0); // wraps round to the first
    EXPECT_EQ(CRecentCallList::FindItemStartingWith(items, "nothing"), -1);
    EXPECT_EQ(CRecentCallList::FindItemStartingWith({}, "x"), -1);
    EXPECT_EQ(CRecentCallList::FindItemStartingWith({"only"}, "ONLY"), 0);
}

TEST_F(RecentCalls, TwoProgramsSharingTheProfileSeeEachOthersCalls)
{
    CRecentCallList other(profile, "/home/player");
    list.Add("first");
    other.Add("second");
    EXPECT_EQ(list.HistoryItems(), (std::vector<std::string>{"second", "first"}));
}

} // namespace
} // namespace kestrel::call
