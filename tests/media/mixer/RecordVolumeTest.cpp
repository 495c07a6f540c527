#include "media/mixer/RecordVolume.h"
#include "tests/media/mixer/FakeMixer.h"

#include <gtest/gtest.h>

namespace kestrel::media::mixer {
namespace {

using test::FakeMixerDevices;

class RecordVolume : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(mixers.card.openHandles, 0) << "every operation closes its mixer"; }

    FakeMixerDevices mixers;
};

TEST_F(RecordVolume, ALevelOfHalfTheMaximumReadsAs49AndTheMicrophonesSourceIndexComesBack)
{
    mixers.card.AddSource(kComponentSrcUndefined, "Line In", 65535u, {65535});
    mixers.card.AddSource(kComponentSrcUndefined, "CD", 65535u, {65535});
    mixers.card.AddSource(kComponentSrcMicrophone, "Microphone", 65535u, {32767});
    std::optional<int> percent;
    EXPECT_EQ(GetMicLevel(mixers, percent), 2);
    EXPECT_EQ(percent, 49);
    EXPECT_EQ(mixers.card.opens, 1);
}

TEST_F(RecordVolume, SettingFiftyPercentWritesTheTruncatedHalfToTheFirstAndLastChannel)
{
    auto &stereo = mixers.card.AddSource(kComponentSrcMicrophone, "Mic", 65535u, {1000, 2000}, false);
    SetMicLevel(mixers, 50);
    EXPECT_EQ(stereo.values, (std::vector<std::uint32_t>{32767, 32767}));

    auto &surround = mixers.card.sources[0];
    surround.values = {1, 2, 3, 4};
    surround.line.channels = 4;
    SetMicLevel(mixers, 100);
    EXPECT_EQ(surround.values, (std::vector<std::uint32_t>{65535, 2, 3, 65535})) << "the middle channels keep theirs";
}

TEST_F(RecordVolume, AUniformControlHasOneValueForAllChannels)
{
    auto &mic = mixers.card.AddSource(kComponentSrcMicrophone, "Mic", 100u, {80, 10}, true);
    std::optional<int> percent;
    GetMicLevel(mixers, percent);
    EXPECT_EQ(percent, 80);
    SetMicLevel(mixers, 25);
    EXPECT_EQ(mic.values, (std::vector<std::uint32_t>{25, 10})) << "one value written";
}

TEST_F(RecordVolume, TheLargestMaximumDoesNotOverflow)
{
    auto &mic = mixers.card.AddSource(kComponentSrcMicrophone, "Mic", 0xFFFFFFFFu, {0});
    SetMicLevel(mixers, 100);
    EXPECT_EQ(mic.values[0], 0xFFFFFFFFu);
    SetMicLevel(mixers, 50);
    EXPECT_EQ(mic.values[0], 0x7FFFFFFFu);
    std::optional<int> percent;
    GetMicLevel(mixers, percent);
    EXPECT_EQ(percent, 49);
    SetMicLevel(mixers, 250);
    EXPECT_EQ(mic.values[0], 0xFFFFFFFFu) << "a level above 100 % is 100 %";
}

TEST_F(RecordVolume, WithoutMixerDestinationMicrophoneOrVolumeNothingIsReadOrWritten)
{
    std::optional<int> percent;
    mixers.card.present = false;
    EXPECT_EQ(GetMicLevel(mixers, percent), 0);
    EXPECT_FALSE(percent);
    SetMicLevel(mixers, 70);

    mixers.card.present = true;
    mixers.card.hasDestination = false;
    mixers.card.AddSource(kComponentSrcMicrophone, "Mic", 100u, {40});
    GetMicLevel(mixers, percent);
    EXPECT_FALSE(percent);

    mixers.card.hasDestination = true;
    mixers.card.sources.clear();
    mixers.card.AddSource(kComponentSrcUndefined, "Line In", 100u, {40});
    mixers.card.AddSource(kComponentSrcUndefined, "CD", 100u, {40});
    EXPECT_EQ(GetMicLevel(mixers, percent), 2) << "no microphone: the connection count";
    EXPECT_FALSE(percent) << "another input's level is not the microphone's";
    SetMicLevel(mixers, 70);
    EXPECT_EQ(mixers.card.sources[0].values[0], 40u);
    EXPECT_EQ(mixers.card.sources[1].values[0], 40u);

    mixers.card.sources.clear();
    mixers.card.AddSource(kComponentSrcMicrophone, "Mic"); // no volume control
    GetMicLevel(mixers, percent);
    EXPECT_FALSE(percent);
    SetMicLevel(mixers, 70);
    EXPECT_EQ(mixers.card.volumeWrites, 0);
}

class RecordSource : public RecordVolume {
protected:
    void SetUp() override
    {
        mixers.card.AddSource(kComponentSrcUndefined, "Line", 100u, {10});
        mixers.card.AddSource(kComponentSrcUndefined, "CD", 100u, {10});
        mixers.card.AddSource(kComponentSrcMicrophone, "Mic", 100u, {10});
    }
    std::uint32_t Line(int source) const { return mixers.card.sources[static_cast<std::size_t>(source)].line.lineId; }
};

TEST_F(RecordSource, TheItemWhoseLineIsAMicrophoneBecomesTheOnlySelectedSource)
{
    mixers.card.AddSelector(kControlMixer, {{Line(0), "Line"}, {Line(2), "Mic"}, {Line(1), "CD"}},
                            {true, false, true});
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true, false}));
}

TEST_F(RecordSource, AMultiplexerItemNamedMicrophoneIsChosenWhenNoLineIsMarkedAsOne)
{
    for (std::uint32_t id : {0x500u, 0x501u, 0x502u, 0x503u})
        mixers.card.otherLines[id] = MixerLine{id, kComponentSrcUndefined, 0, 1, "input"};
    mixers.card.AddSelector(kControlMux,
                            {{0x500, "Line In"}, {0x501, "CD Audio"}, {0x502, "Microphone"}, {0x503, "Stereo Mix"}},
                            {false, true, false, true});
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, false, true, false}));
}

TEST_F(RecordSource, TheNameMustMatchExactly)
{
    mixers.card.AddSelector(kControlMux, {{0x500, "microphone"}, {0x501, "Line"}}, {true, false});
    SelectRecordSource(mixers, 1);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true})) << "no match: the fallback index";
}

TEST_F(RecordSource, TheMixerControlIsPreferredToTheMultiplexer)
{
    mixers.card.AddSelector(kControlMux, {}, {});
    mixers.card.AddSelector(kControlMixer, {{Line(0), "Line"}, {Line(2), "Mic"}}, {true, false});
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true}));
}

TEST_F(RecordSource, AnUnreadableListFallsBackAndAnUnreadableSelectionIsLeftAlone)
{
    mixers.card.AddSelector(kControlMixer, {{Line(0), "Line"}, {Line(2), "Mic"}, {Line(1), "CD"}},
                            {true, true, false});
    mixers.card.failListTexts = true;
    SelectRecordSource(mixers, 2);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, false, true}));

    mixers.card.failListTexts = false;
    mixers.card.failSelectionRead = true;
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(mixers.card.selectionWrites, 1);
}

TEST_F(RecordSource, AnIndexThatNamesNoItemLeavesTheSelectionAsItIs)
{
    mixers.card.AddSelector(kControlMixer, {{Line(0), "Line"}, {Line(1), "CD"}}, {true, false});
    // No microphone among the items: the fallback is the microphone's
    // source index, which lies past the two items.
    std::optional<int> percent;
    SelectRecordSource(mixers, GetMicLevel(mixers, percent));
    SelectRecordSource(mixers, -1);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{true, false}));
    EXPECT_EQ(mixers.card.selectionWrites, 0);
}

TEST_F(RecordSource, NoSelectorOrNoMixerChangesNothing)
{
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selectionWrites, 0);
    mixers.card.AddSelector(kControlMixer, {{Line(2), "Mic"}}, {false});
    mixers.card.present = false;
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false}));
}

} // namespace
} // namespace kestrel::media::mixer
