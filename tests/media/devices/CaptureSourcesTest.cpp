#include "media/devices/CaptureSources.h"
#include "media/devices/ListDevices.h"
#include "media/devices/V4l2InputRouters.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/media/crossbar/FakeV4l2Device.h"
#include "tests/media/devices/FakeCamera.h"
#include "tests/media/devices/FakeRouters.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace kestrel::media::devices {
namespace {

using test::FakeDevices;
using test::FakeRouters;

class CaptureSourcesTest : public ::testing::Test {
protected:
    void SetUp() override { media::test::InitGstreamerForMediaTests(); }
};

TEST_F(CaptureSourcesTest, DevicesWithoutANameOrAnElementAreNotListed)
{
    FakeDevices devices;
    devices.Add("USB Camera");
    devices.Add("");
    devices.Add("Broken Camera")->givesElement = false;
    devices.Add("Headset", DeviceCategory::Audio);
    const CaptureDeviceList cameras = ListedDevices(devices, DeviceCategory::Video);
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0]->Name(), "USB Camera");
    EXPECT_EQ(ListedDevices(devices, DeviceCategory::Audio).size(), 1u);
}

TEST_F(CaptureSourcesTest, TheV4l2NodeComesFromWhicheverProviderListedTheCamera)
{
    using Properties = std::map<std::string, std::string>;
    const auto pathOf = [](Properties properties) {
        return V4l2DevicePath(test::FakeCamera("camera", std::move(properties)));
    };
    EXPECT_EQ(pathOf({{"device.api", "v4l2"}, {"device.path", "/dev/video0"}}), "/dev/video0");
    EXPECT_EQ(pathOf({{"device.api", "v4l2"}, {"api.v4l2.path", "/dev/video2"}, {"object.path", "v4l2:/dev/video2"}}),
              "/dev/video2");
    EXPECT_EQ(pathOf({{"object.path", "v4l2:/dev/video4"}}), "/dev/video4");
    EXPECT_EQ(pathOf({{"device.api", "libcamera"}, {"api.libcamera.path", "\\_SB_.PCI0"},
                      {"object.path", "libcamera:\\_SB_.PCI0"}}),
              "");
    EXPECT_EQ(pathOf({{"device.api", "libcamera"}, {"device.path", "/base/camera"}}), "");
    EXPECT_EQ(pathOf({{"object.path", "v4l2:"}}), "");
    EXPECT_EQ(pathOf({}), "");
}

TEST_F(CaptureSourcesTest, ACameraOnAV4l2CaptureCardGetsItsInputsAsARouter)
{
    crossbar::test::FakeV4l2Device card("/dev/video3");
    card.AddInput("Composite1");
    card.AddInput("S-Video");
    CV4l2InputRouters routers(card);
    auto router = routers.MakeRouter(test::FakeCamera("TV Card", {{"device.path", "/dev/video3"}}));
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(router->CountInputs(), 2);
    EXPECT_EQ(routers.MakeRouter(test::FakeCamera("Test Camera")), nullptr) << "no device node";
}

TEST_F(CaptureSourcesTest, TheListingPrintsCamerasWithTheirInputsThenMicrophones)
{
    FakeDevices devices;
    devices.Add("USB Camera");
    devices.Add("TV Card");
    devices.Add("Headset Microphone", DeviceCategory::Audio);
    devices.Add("Line\nIn\t2", DeviceCategory::Audio);
    devices.Add("Unplugged Camera")->givesElement = false;
    FakeRouters routers;
    routers.GiveInputs("TV Card", {crossbar::connector::VideoTuner, crossbar::connector::VideoComposite,
                                   crossbar::connector::AudioLine});
    std::ostringstream out;
    EXPECT_EQ(ListDevices(out, {devices, routers, NoCaptureSources().mixers}), 0);
    EXPECT_EQ(out.str(), "camera\tUSB Camera\n"
                         "camera\tTV Card\n"
                         "input\tVideo Tuner\n"
                         "input\tVideo Composite\n"
                         "microphone\tHeadset Microphone\n"
                         "microphone\tLine In 2\n");
    EXPECT_TRUE(routers.log->empty()) << "listing switches no input";
}

TEST_F(CaptureSourcesTest, NothingFoundPrintsNothing)
{
    std::ostringstream out;
    EXPECT_EQ(ListDevices(out, NoCaptureSources()), 0);
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace kestrel::media::devices
