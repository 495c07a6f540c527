#include "MediaTestSupport.h"
#include "media/CaptureFilter.h"
#include "media/DeviceList.h"
#include "media/MediaGraph.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

class CaptureDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        ASSERT_TRUE(graph.Create());
        devices.Add(DeviceCategory::Video, "Test Camera", "videotestsrc is-live=true");
        devices.Add(DeviceCategory::Audio, "Test Microphone", "audiotestsrc is-live=true samplesperbuffer=441");
        devices.Add(DeviceCategory::Video, "Second Camera", "videotestsrc");
    }

    // The first device of `category`, wrapped, in the graph and linked to an appsink.
    GstElement *AddDevice(DeviceCategory category)
    {
        auto device = FirstDevice(devices, category);
        EXPECT_NE(device, nullptr);
        GstElement *filter = device ? CreateCaptureFilter(*device) : nullptr;
        EXPECT_NE(filter, nullptr);
        EXPECT_EQ(graph.AddFilter(filter), result::Ok);
        return filter;
    }

    GstElement *AddSink(GstElement *filter)
    {
        GstElement *sink = gst_element_factory_make("appsink", nullptr);
        g_object_set(sink, "sync", FALSE, "max-buffers", 100u, nullptr);
        EXPECT_EQ(graph.AddFilter(sink), result::Ok);
        EXPECT_EQ(graph.ConnectPins(filter, "Capture", sink, "sink"), result::Ok);
        return sink;
    }

    GstMiniRef<GstSample> Pull(GstElement *sink)
    {
        return GstMiniRef<GstSample>(gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND));
    }

    CMediaGraph graph;
    CFakeDeviceList devices;
};

} // namespace

TEST_F(CaptureDevices, TheFirstDeviceOfEachCategoryIsTaken)
{
    auto camera = FirstDevice(devices, DeviceCategory::Video);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->Name(), "Test Camera");
    auto microphone = FirstDevice(devices, DeviceCategory::Audio);
    ASSERT_NE(microphone, nullptr);
    EXPECT_EQ(microphone->Name(), "Test Microphone");
    CFakeDeviceList none;
    EXPECT_EQ(FirstDevice(none, DeviceCategory::Video), nullptr);
}

TEST_F(CaptureDevices, ACaptureFilterOffersOnlyAnAlwaysCapturePadAndIsNamedAfterItsDevice)
{
    GstElement *camera = AddDevice(DeviceCategory::Video);
    EXPECT_STREQ(GST_OBJECT_NAME(camera), "Test Camera");
    ASSERT_EQ(camera->numpads, 1);
    GstRef<GstPad> pad;
    CMediaGraph::FindPin(camera, "Capture", pad);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(GST_PAD_DIRECTION(pad.get()), GST_PAD_SRC);
    GstPadTemplate *templ = GST_PAD_PAD_TEMPLATE(pad.get());
    ASSERT_NE(templ, nullptr);
    EXPECT_EQ(GST_PAD_TEMPLATE_PRESENCE(templ), GST_PAD_ALWAYS);
    CMediaGraph::FindPin(camera, "capture", pad);
    EXPECT_EQ(pad, nullptr);
    CMediaGraph::FindPin(camera, "Preview", pad);
    EXPECT_EQ(pad, nullptr);
}

TEST_F(CaptureDevices, SetCaptureSizeChangesOnlyTheWidthAndHeight)
{
    GstElement *camera = AddDevice(DeviceCategory::Video);
    GstElement *sink = AddSink(camera);
    EXPECT_EQ(SetCaptureSize(camera, 352, 288), result::Ok);

    GstRef<GstElement> format(gst_bin_get_by_name(GST_BIN(camera), kCaptureFormatName));
    GstCaps *asked = nullptr;
    g_object_get(format.get(), "caps", &asked, nullptr);
    GstMiniRef<GstCaps> held(asked);
    GstMiniRef<GstCaps> expected(gst_caps_from_string("video/x-raw, width=(int)352, height=(int)288"));
    EXPECT_TRUE(gst_caps_is_equal(asked, expected.get())) << gst_caps_to_string(asked);

    ASSERT_TRUE(Succeeded(graph.Run()));
    GstMiniRef<GstSample> sample = Pull(sink);
    ASSERT_NE(sample, nullptr);
    GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
    int width = 0, height = 0;
    gst_structure_get_int(caps, "width", &width);
    gst_structure_get_int(caps, "height", &height);
    EXPECT_EQ(width, 352);
    EXPECT_EQ(height, 288);

    graph.Stop();
    EXPECT_EQ(SetCaptureSize(camera, 176, 144), result::Ok);
    ASSERT_TRUE(Succeeded(graph.Run()));
    sample = Pull(sink);
    ASSERT_NE(sample, nullptr);
    caps = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
    gst_structure_get_int(caps, "width", &width);
    EXPECT_EQ(width, 176);
}

TEST_F(CaptureDevices, SuggestAudioBufferGivesBuffersOf4000BytesAt48kHz)
{
    GstElement *microphone = AddDevice(DeviceCategory::Audio);
    EXPECT_EQ(SuggestAudioBuffer(microphone), result::Ok);
    EXPECT_EQ(SuggestAudioBuffer(microphone), result::Ok) << "asking twice changes nothing";
    GstElement *sink = AddSink(microphone);

    ASSERT_TRUE(Succeeded(graph.Run()));
    for (int i = 0; i < 5; ++i) {
        GstMiniRef<GstSample> sample = Pull(sink);
        ASSERT_NE(sample, nullptr);
        GstBuffer *buffer = gst_sample_get_buffer(sample.get());
        EXPECT_EQ(gst_buffer_get_size(buffer), 4000u);
        GstStructure *caps = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
        int rate = 0, channels = 0;
        gst_structure_get_int(caps, "rate", &rate);
        gst_structure_get_int(caps, "channels", &channels);
        EXPECT_EQ(rate, 48000);
        EXPECT_EQ(channels, 1);
        EXPECT_STREQ(gst_structure_get_string(caps, "format"), "S16LE");
        if (GST_BUFFER_DURATION_IS_VALID(buffer)) {
            EXPECT_NEAR(double(GST_BUFFER_DURATION(buffer)) / GST_MSECOND, 41.67, 0.1);
        }
    }
}

// The device itself captures 4000-byte buffers, so none waits behind the
// regrouping for part of the next: each leaves "Capture" as it is captured.
TEST_F(CaptureDevices, SuggestAudioBufferAsksTheDeviceItselfForItsBuffers)
{
    devices = CFakeDeviceList();
    devices.Add(DeviceCategory::Audio, "Kestrel Test Microphone", "kestreltestmicrophonesrc");
    GstElement *microphone = AddDevice(DeviceCategory::Audio);
    ASSERT_EQ(SuggestAudioBuffer(microphone), result::Ok);
    GstElement *sink = AddSink(microphone);
    GstIterator *sources = gst_bin_iterate_sources(GST_BIN(microphone));
    GValue item = G_VALUE_INIT;
    ASSERT_EQ(gst_iterator_next(sources, &item), GST_ITERATOR_OK);
    GstRef<GstPad> captured(gst_element_get_static_pad(GST_ELEMENT(g_value_get_object(&item)), "src"));
    g_value_unset(&item);
    gst_iterator_free(sources);
    struct Sizes {
        std::mutex lock;
        std::vector<gsize> captured;
    } sizes;
    gst_pad_add_probe(
        captured.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            auto *seen = static_cast<Sizes *>(data);
            std::lock_guard hold(seen->lock);
            seen->captured.push_back(gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info)));
            return GST_PAD_PROBE_OK;
        },
        &sizes, nullptr);

    ASSERT_TRUE(Succeeded(graph.Run()));
    for (int i = 0; i < 3; ++i) {
        GstMiniRef<GstSample> sample = Pull(sink);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(gst_buffer_get_size(gst_sample_get_buffer(sample.get())), 4000u);
    }
    graph.Stop();
    std::lock_guard hold(sizes.lock);
    ASSERT_GE(sizes.captured.size(), 3u);
    for (const gsize size : sizes.captured)
        EXPECT_EQ(size, 4000u) << "the device captured buffers of its own size";
}

TEST_F(CaptureDevices, WithoutTheSuggestionTheDeviceKeepsItsOwnBufferSize)
{
    GstElement *microphone = AddDevice(DeviceCategory::Audio);
    GstElement *sink = AddSink(microphone);
    ASSERT_TRUE(Succeeded(graph.Run()));
    GstMiniRef<GstSample> sample = Pull(sink);
    ASSERT_NE(sample, nullptr);
    // The test source makes 441-sample buffers; 16-bit mono at 48 kHz.
    EXPECT_EQ(gst_buffer_get_size(gst_sample_get_buffer(sample.get())), 882u);
}

TEST_F(CaptureDevices, EachSuggestionOnlyAppliesToItsOwnKindOfDevice)
{
    GstElement *camera = AddDevice(DeviceCategory::Video);
    GstElement *microphone = AddDevice(DeviceCategory::Audio);
    EXPECT_EQ(SuggestAudioBuffer(camera), result::False);
    EXPECT_EQ(SetCaptureSize(microphone, 176, 144), result::False);
    GstRef<GstElement> split(gst_bin_get_by_name(GST_BIN(camera), kCaptureBuffersName));
    EXPECT_EQ(split, nullptr);

    GstRef<GstElement> plain = MakeElement("videotestsrc");
    EXPECT_EQ(SetCaptureSize(plain.get(), 176, 144), result::False) << "not a capture filter";
    EXPECT_EQ(SetCaptureSize(nullptr, 176, 144), result::False);
}

TEST(GstDeviceList, ListedDevicesGiveElements)
{
    InitGstreamerForMediaTests();
    CGstDeviceList monitor;
    for (DeviceCategory category : {DeviceCategory::Video, DeviceCategory::Audio}) {
        for (const auto &device : monitor.Enumerate(category)) {
            EXPECT_EQ(device->Category(), category);
            EXPECT_FALSE(device->Name().empty());
            GstRef<GstElement> element(device->CreateElement());
            if (element)
                gst_object_ref_sink(element.get());
            EXPECT_NE(element, nullptr) << device->Name();
        }
    }
}
