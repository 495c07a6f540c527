#include "media/mixer/AlsaMixer.h"
#include "media/mixer/RecordVolume.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace kestrel::media::mixer {
namespace {

constexpr int kLeft = 0;  // SND_MIXER_SCHN_FRONT_LEFT, also MONO
constexpr int kRight = 1; // SND_MIXER_SCHN_FRONT_RIGHT

// The simple elements of a made-up ALSA card, with their current values.
class FakeAlsaCard {
public:
    struct Element {
        AlsaElementInfo info;
        std::map<int, long> volume; // per channel
        bool on = false;
        unsigned item = 0;
    };

    Element &CaptureElement(const std::string &name, long minimum, long maximum, std::vector<int> channels,
                            bool joined, bool withSwitch = true)
    {
        Element element;
        element.info.name = name;
        element.info.captureVolume = maximum > minimum;
        element.info.captureVolumeJoined = joined;
        element.info.captureSwitch = withSwitch;
        element.info.captureChannels = channels;
        element.info.minimum = minimum;
        element.info.maximum = maximum;
        for (int channel : channels)
            element.volume[channel] = minimum;
        elements.push_back(element);
        return elements.back();
    }
    Element &SwitchOnly(const std::string &name)
    {
        return CaptureElement(name, 0, 0, {kLeft}, true, true);
    }
    Element &Selector(const std::string &name, std::vector<std::string> items, unsigned current)
    {
        Element element;
        element.info.name = name;
        element.info.captureEnum = true;
        element.info.enumItems = std::move(items);
        element.item = current;
        elements.push_back(element);
        return elements.back();
    }
    Element &PlaybackOnly(const std::string &name)
    {
        Element element;
        element.info.name = name;
        elements.push_back(element);
        return elements.back();
    }
    Element &Named(const std::string &name)
    {
        for (Element &element : elements)
            if (element.info.name == name)
                return element;
        throw std::out_of_range(name);
    }

    std::deque<Element> elements; // references stay valid as elements are added
    std::vector<std::string> opened; // device names asked for
    std::string answers = "default";  // the device name that opens
    int openHandles = 0;
};

class FakeAlsaElements final : public IAlsaMixerElements {
public:
    explicit FakeAlsaElements(FakeAlsaCard &card) : card(card)
    {
        ++card.openHandles;
        for (const auto &element : card.elements)
            infos.push_back(element.info);
    }
    ~FakeAlsaElements() override { --card.openHandles; }

    const std::vector<AlsaElementInfo> &Elements() const override { return infos; }
    bool CaptureVolume(std::size_t element, int channel, long &value) override
    {
        auto &volume = card.elements.at(element).volume;
        if (!volume.count(channel))
            return false;
        value = volume[channel];
        return true;
    }
    bool SetCaptureVolume(std::size_t element, int channel, long value) override
    {
        auto &volume = card.elements.at(element).volume;
        if (!volume.count(channel))
            return false;
        volume[channel] = value;
        return true;
    }
    bool CaptureSwitch(std::size_t element, int, bool &on) override
    {
        on = card.elements.at(element).on;
        return card.elements.at(element).info.captureSwitch;
    }
    bool SetCaptureSwitch(std::size_t element, bool on) override
    {
        card.elements.at(element).on = on;
        return card.elements.at(element).info.captureSwitch;
    }
    bool EnumItem(std::size_t element, unsigned &item) override
    {
        item = card.elements.at(element).item;
        return card.elements.at(element).info.captureEnum;
    }
    bool SetEnumItem(std::size_t element, unsigned item) override
    {
        card.elements.at(element).item = item;
        return card.elements.at(element).info.captureEnum;
    }

private:
    FakeAlsaCard &card;
    std::vector<AlsaElementInfo> infos;
};

class AlsaMixer : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(card.openHandles, 0) << "every operation closes the mixer"; }

    std::optional<int> Level()
    {
        std::optional<int> percent;
        GetMicLevel(mixers, percent);
        return percent;
    }

    FakeAlsaCard card;
    CAlsaMixerDevices mixers{[this](const std::string &device) -> std::unique_ptr<IAlsaMixerElements> {
        card.opened.push_back(device);
        if (device != card.answers)
            return nullptr;
        return std::make_unique<FakeAlsaElements>(card);
    }};
};

TEST_F(AlsaMixer, AHeadsetsMicElementIsTheMicrophoneAndItsSwitchTheRecordingSelection)
{
    card.PlaybackOnly("PCM");
    auto &mic = card.CaptureElement("Mic", 0, 16, {kLeft}, true);
    mic.volume[kLeft] = 12;
    EXPECT_EQ(Level(), 75);
    SetMicLevel(mixers, 50);
    EXPECT_EQ(mic.volume[kLeft], 8);
    SelectRecordSource(mixers, 0);
    EXPECT_TRUE(mic.on);
}

TEST_F(AlsaMixer, AnHdaCodecRecordsThroughCaptureAndSelectsTheMicInItsInputSource)
{
    card.PlaybackOnly("Master");
    auto &capture = card.CaptureElement("Capture", 0, 63, {kLeft, kRight}, false);
    capture.volume = {{kLeft, 63}, {kRight, 0}};
    capture.on = true;
    card.Selector("Input Source", {"Line", "Internal Mic", "Mic"}, 0);
    EXPECT_EQ(Level(), 100) << "the first channel";
    SetMicLevel(mixers, 50);
    EXPECT_EQ(capture.volume[kLeft], 31);
    EXPECT_EQ(capture.volume[kRight], 31);

    SelectRecordSource(mixers, 0);
    EXPECT_EQ(card.Named("Input Source").item, 1u) << "the first item that names a microphone";
    EXPECT_TRUE(capture.on) << "the card's capture switch is no source to clear";
}

TEST_F(AlsaMixer, BesideMicNamedSourcesTheMasterCaptureIsLeftAlone)
{
    auto &master = card.CaptureElement("Capture", 0, 31, {kLeft, kRight}, true);
    master.volume = {{kLeft, 20}, {kRight, 20}};
    master.on = true;
    auto &line = card.CaptureElement("Line", 0, 31, {kLeft, kRight}, true);
    line.on = true;
    auto &mic = card.CaptureElement("Front Mic", 0, 31, {kLeft}, true);
    mic.volume[kLeft] = 0;
    EXPECT_EQ(Level(), 0);
    SetMicLevel(mixers, 100);
    EXPECT_EQ(mic.volume[kLeft], 31);
    EXPECT_EQ(master.volume[kLeft], 20);

    SelectRecordSource(mixers, 0);
    EXPECT_TRUE(mic.on);
    EXPECT_FALSE(line.on);
    EXPECT_TRUE(master.on);
}

TEST_F(AlsaMixer, ASoundServersMixerSetsTheLevelAndLeavesTheSourceToTheServer)
{
    auto &capture = card.CaptureElement("Capture", 0, 65536, {kLeft, kRight}, false);
    capture.volume = {{kLeft, 32768}, {kRight, 32768}};
    EXPECT_EQ(Level(), 50);
    SetMicLevel(mixers, 10);
    EXPECT_EQ(capture.volume[kLeft], 6553);
    EXPECT_EQ(capture.volume[kRight], 6553);
    SelectRecordSource(mixers, 0);
    EXPECT_FALSE(capture.on) << "no selector: nothing switched";
}

TEST_F(AlsaMixer, LevelsCountFromTheVolumesMinimum)
{
    auto &mic = card.CaptureElement("Mic", 10, 30, {kLeft}, true);
    mic.volume[kLeft] = 20;
    EXPECT_EQ(Level(), 50);
    SetMicLevel(mixers, 100);
    EXPECT_EQ(mic.volume[kLeft], 30);
    SetMicLevel(mixers, 0);
    EXPECT_EQ(mic.volume[kLeft], 10);
}

TEST_F(AlsaMixer, AStereoSelectorItemNamedMicrophoneIsFoundByItsName)
{
    card.CaptureElement("Capture", 0, 15, {kLeft, kRight}, false);
    card.Selector("Capture Source", {"CD", "Video", "Mic", "Line"}, 3);
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(card.Named("Capture Source").item, 2u);
}

TEST_F(AlsaMixer, WordsThatMerelyContainMicAreNoMicrophone)
{
    auto &capture = card.CaptureElement("Capture", 0, 10, {kLeft}, true);
    capture.volume[kLeft] = 5;
    auto &dynamic = card.CaptureElement("Dynamic Line", 0, 10, {kLeft}, true);
    dynamic.volume[kLeft] = 10;
    EXPECT_EQ(Level(), 50) << "the card's capture gain, not \"Dynamic Line\"";
}

TEST_F(AlsaMixer, AMixerWithoutCaptureHasNoRecordingDestination)
{
    card.PlaybackOnly("Master");
    card.PlaybackOnly("PCM");
    EXPECT_FALSE(Level());
    SetMicLevel(mixers, 50);
    SelectRecordSource(mixers, 0);
    EXPECT_EQ(card.elements.size(), 2u);
}

TEST_F(AlsaMixer, TheFirstCardIsUsedWhenTheDefaultMixerCannotBeOpened)
{
    card.answers = "hw:0";
    auto &mic = card.CaptureElement("Mic", 0, 100, {kLeft}, true);
    mic.volume[kLeft] = 42;
    EXPECT_EQ(Level(), 42);
    EXPECT_EQ(card.opened, (std::vector<std::string>{"default", "hw:0"}));

    card.answers = "nothing";
    EXPECT_FALSE(Level());
    EXPECT_EQ(mixers.Open(1), nullptr) << "there is only device 0";
}

TEST(AlsaMixerElements, AMixerThatDoesNotExistIsNotOpenedAndNothingIsPrinted)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(OpenAlsaMixerElements("hw:99"), nullptr);
    EXPECT_EQ(OpenAlsaMixerElements("kestrel-no-such-mixer"), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace kestrel::media::mixer
