#include "media/crossbar/V4l2Crossbar.h"
#include "tests/media/crossbar/FakeV4l2Device.h"

#include <gtest/gtest.h>

#include <fcntl.h>

namespace kestrel::media::crossbar {
namespace {

using test::FakeV4l2Device;

std::vector<std::string> Names(const CCrossbarRouter &router)
{
    std::vector<std::string> names;
    for (int i = 0; i < router.CountInputs(); ++i) {
        char text[255];
        EXPECT_EQ(router.DescribeInput(i, text, sizeof text), result::Ok);
        names.emplace_back(text);
    }
    return names;
}

TEST(V4l2Inputs, ACaptureCardsInputsAreNamedByTheirConnectorAndSwitchedWithSInput)
{
    FakeV4l2Device card;
    card.AddInput("Television", V4L2_INPUT_TYPE_TUNER);
    card.AddInput("Composite1");
    card.AddInput("S-Video");
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(Names(*router), (std::vector<std::string>{"Video Tuner", "Video Composite", "Video SVideo"}));

    EXPECT_EQ(router->RouteInput(2), result::Ok);
    EXPECT_EQ(router->RouteInput(0), result::Ok);
    EXPECT_EQ(card.switches, (std::vector<std::string>{"input 2", "input 0"}));
}

TEST(V4l2Inputs, AnInputsAudioFollowsItThroughSAudio)
{
    FakeV4l2Device card;
    card.AddAudioInput("Tuner");
    card.AddAudioInput("Line In");
    card.AddInput("Tuner 1", V4L2_INPUT_TYPE_TUNER, 1u << 0);
    card.AddInput("Composite 1", V4L2_INPUT_TYPE_CAMERA, 1u << 1);
    card.AddInput("S-Video 1", V4L2_INPUT_TYPE_CAMERA, 0);
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(router->CountInputs(), 3) << "audio inputs are no inputs of their own";
    router->RouteInput(1);
    router->RouteInput(0);
    router->RouteInput(2);
    EXPECT_EQ(card.switches, (std::vector<std::string>{"input 1", "audio 1", "input 0", "audio 0", "input 2"}));
}

TEST(V4l2Inputs, TouchInputsAreLeftOutAndTheDriversIndexIsKept)
{
    FakeV4l2Device card;
    card.AddInput("Composite");
    card.AddInput("Touch", V4L2_INPUT_TYPE_TOUCH);
    card.AddInput("S-Video");
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(Names(*router), (std::vector<std::string>{"Video Composite", "Video SVideo"}));
    router->RouteInput(1);
    EXPECT_EQ(card.switches, (std::vector<std::string>{"input 2"}));
}

TEST(V4l2Inputs, DevicesWithoutInputsToChooseHaveNoRouter)
{
    FakeV4l2Device webcam;
    webcam.AddInput("Camera 1");
    EXPECT_EQ(MakeV4l2Router(webcam, webcam.path), nullptr) << "one input: nothing to choose";

    FakeV4l2Device output;
    output.AddInput("Composite");
    output.AddInput("S-Video");
    output.capabilities = V4L2_CAP_VIDEO_OUTPUT;
    EXPECT_EQ(MakeV4l2Router(output, output.path), nullptr) << "not a capture device";

    FakeV4l2Device card;
    card.AddInput("Composite");
    card.AddInput("S-Video");
    EXPECT_EQ(MakeV4l2Router(card, "/dev/video99"), nullptr) << "no such node";
    EXPECT_EQ(MakeV4l2Router(card, ""), nullptr) << "no V4L2 device behind the camera";
}

TEST(V4l2Inputs, AnInterruptedIoctlIsRepeated)
{
    FakeV4l2Device card;
    card.AddInput("Composite");
    card.AddInput("S-Video");
    card.interruptNext = true; // the capability query
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    card.interruptNext = true;
    EXPECT_EQ(router->RouteInput(1), result::Ok);
    EXPECT_EQ(card.switches, (std::vector<std::string>{"input 1"}));
}

TEST(V4l2Inputs, TheDeviceStaysOpenWhileTheRouterLivesAndClosesAfter)
{
    FakeV4l2Device card;
    card.AddInput("Composite");
    card.AddInput("S-Video");
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    EXPECT_NE(fcntl(card.openFd, F_GETFD), -1);
    router.reset();
    EXPECT_EQ(fcntl(card.openFd, F_GETFD), -1);
}

TEST(V4l2Inputs, ConnectorTypesFromTheInputsTypeAndName)
{
    const auto typeOf = [](const char *name, std::uint32_t type = V4L2_INPUT_TYPE_CAMERA) {
        v4l2_input input{};
        std::strncpy(reinterpret_cast<char *>(input.name), name, sizeof input.name - 1);
        input.type = type;
        return ConnectorTypeOfInput(input);
    };
    EXPECT_EQ(typeOf("Tuner 1", V4L2_INPUT_TYPE_TUNER), connector::VideoTuner);
    EXPECT_EQ(typeOf("Composite", V4L2_INPUT_TYPE_TUNER), connector::VideoTuner) << "the type decides first";
    EXPECT_EQ(typeOf("Composite3"), connector::VideoComposite);
    EXPECT_EQ(typeOf("Composite over S-Video"), connector::VideoComposite);
    EXPECT_EQ(typeOf("CVBS"), connector::VideoComposite);
    EXPECT_EQ(typeOf("S-VIDEO"), connector::VideoSVideo);
    EXPECT_EQ(typeOf("SVideo 1"), connector::VideoSVideo);
    EXPECT_EQ(typeOf("Component"), connector::VideoYRYBY);
    EXPECT_EQ(typeOf("VGA"), connector::VideoRgb);
    EXPECT_EQ(typeOf("HDMI 1"), connector::VideoSerialDigital);
    EXPECT_EQ(typeOf("Television"), connector::VideoTuner);
    EXPECT_EQ(typeOf("Camera 1"), connector::VideoAux);

    const auto audioOf = [](const char *name) {
        v4l2_audio audio{};
        std::strncpy(reinterpret_cast<char *>(audio.name), name, sizeof audio.name - 1);
        return ConnectorTypeOfAudio(audio);
    };
    EXPECT_EQ(audioOf("Tuner"), connector::AudioTuner);
    EXPECT_EQ(audioOf("Mic In"), connector::AudioMic);
    EXPECT_EQ(audioOf("Line In 1"), connector::AudioLine);
}

TEST(V4l2Inputs, AFullLengthNameWithoutTerminatorIsReadWithinTheField)
{
    FakeV4l2Device card;
    card.AddInput("Composite");
    card.AddInput("S-Video");
    std::memset(card.inputs[1].name, 'x', sizeof card.inputs[1].name); // no terminator
    std::memcpy(card.inputs[1].name, "S-Video", 7);
    auto router = MakeV4l2Router(card, card.path);
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(Names(*router)[1], "Video SVideo");
}

TEST(V4l2Inputs, ARealNodeThatIsNoCameraGivesNoRouter)
{
    EXPECT_EQ(MakeV4l2Router(SystemV4l2Calls(), "/dev/null"), nullptr);
    EXPECT_EQ(MakeV4l2Router(SystemV4l2Calls(), "/dev/kestrel-no-such-video"), nullptr);
}

} // namespace
} // namespace kestrel::media::crossbar
