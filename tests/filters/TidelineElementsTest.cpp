// The Tideline elements as a host sees them: found in the registry, driven
// through the public interface header (the test does not link the plugin),
// and carrying samples between pipelines over loopback.
#include "GstTestSupport.h"
#include "UdpProbe.h"
#include "filters/RtpChannel.h"
#include "tideline/rtpconfig.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <vector>

using namespace kestrel::filters;
using namespace kestrel::filters::test;
using namespace std::chrono_literals;

namespace {

class TidelineElements : public ::testing::Test {
protected:
    void SetUp() override { InitGstreamerWithBuildTreePlugin(); }
};

GstElementFactory *FactoryByLongName(const char *longName)
{
    GList *features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
    GstElementFactory *found = nullptr;
    for (GList *item = features; item && !found; item = item->next) {
        auto *factory = GST_ELEMENT_FACTORY(item->data);
        const char *name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        if (name && g_strcmp0(name, longName) == 0)
            found = GST_ELEMENT_FACTORY(gst_object_ref(factory));
    }
    gst_plugin_feature_list_free(features);
    return found;
}

GstRef<GstElement> Make(const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (element)
        gst_object_ref_sink(element);
    return GstRef<GstElement>(element);
}

std::vector<uint8_t> Pattern(std::size_t length, uint8_t start)
{
    std::vector<uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

GstBuffer *BufferOf(const std::vector<uint8_t> &bytes)
{
    return gst_buffer_new_memdup(bytes.data(), bytes.size());
}

std::vector<uint8_t> BytesOf(GstBuffer *buffer)
{
    std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
    gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
    return bytes;
}

// Pulls one buffer from an appsink, waiting up to a few seconds.
std::optional<std::vector<uint8_t>> Pull(GstElement *appsink, bool *hadTimestamp = nullptr)
{
    GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), 5 * GST_SECOND);
    if (!sample)
        return std::nullopt;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (hadTimestamp)
        *hadTimestamp = GST_BUFFER_PTS_IS_VALID(buffer) || GST_BUFFER_DTS_IS_VALID(buffer);
    auto bytes = BytesOf(buffer);
    gst_sample_unref(sample);
    return bytes;
}

} // namespace

TEST_F(TidelineElements, FactoriesAreFoundByLongNameAtRankNoneWithTheirIdentifiers)
{
    struct Expected {
        const char *longName, *factoryName, *classId, *pageId;
    };
    for (const Expected &e : {Expected{TIDELINE_RTP_SOURCE_LONG_NAME, TIDELINE_RTP_SOURCE_FACTORY,
                                       TIDELINE_RTP_SOURCE_CLASS_ID, TIDELINE_RTP_SOURCE_PAGE_ID},
                              Expected{TIDELINE_RTP_RENDER_LONG_NAME, TIDELINE_RTP_RENDER_FACTORY,
                                       TIDELINE_RTP_RENDER_CLASS_ID, TIDELINE_RTP_RENDER_PAGE_ID}}) {
        GstRef<GstElementFactory> factory(FactoryByLongName(e.longName));
        ASSERT_TRUE(factory) << e.longName;
        EXPECT_STREQ(GST_OBJECT_NAME(factory.get()), e.factoryName);
        EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory.get())), GST_RANK_NONE);
        EXPECT_STREQ(gst_element_factory_get_metadata(factory.get(), TIDELINE_METADATA_CLASS_ID), e.classId);
        EXPECT_STREQ(gst_element_factory_get_metadata(factory.get(), TIDELINE_METADATA_PROPERTY_PAGE), e.pageId);
        GstRef<GstElement> element(gst_element_factory_create(factory.get(), nullptr));
        gst_object_ref_sink(element.get());
        EXPECT_EQ(element->numpads, 2);
        GstRef<GstPad> video(gst_element_get_static_pad(element.get(), "Video Transport"));
        GstRef<GstPad> audio(gst_element_get_static_pad(element.get(), "Audio Transport"));
        EXPECT_TRUE(video && audio) << e.longName;
    }
}

TEST_F(TidelineElements, HostConfiguresThroughTheInterfacesWithoutLinkingThePlugin)
{
    auto source = Make(TIDELINE_RTP_SOURCE_FACTORY);
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    ASSERT_TRUE(source && render);

    int port = 0;
    ASSERT_TRUE(tideline_rtp_source_config_get_port(source.get(), &port));
    EXPECT_EQ(port, 6060);
    ASSERT_TRUE(tideline_rtp_source_config_set_port(source.get(), 7010));
    ASSERT_TRUE(tideline_rtp_source_config_get_port(source.get(), &port));
    EXPECT_EQ(port, 7010);
    int property = 0;
    g_object_get(source.get(), "port", &property, nullptr);
    EXPECT_EQ(property, 7010);
    gchar *peer = nullptr;
    ASSERT_TRUE(tideline_rtp_source_config_get_peer_address(source.get(), &peer));
    EXPECT_STREQ(peer, "") << "by default media is taken from anyone";
    g_free(peer);
    ASSERT_TRUE(tideline_rtp_source_config_set_peer_address(source.get(), "192.0.2.9"));
    g_object_get(source.get(), "peer-address", &peer, nullptr);
    EXPECT_STREQ(peer, "192.0.2.9");
    g_free(peer);

    gchar *address = nullptr;
    ASSERT_TRUE(tideline_rtp_render_config_get_destination(render.get(), &address, &port));
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_EQ(port, 6060);
    g_free(address);
    ASSERT_TRUE(tideline_rtp_render_config_set_destination(render.get(), "192.0.2.7", 6060));
    gchar *addressProperty = nullptr;
    g_object_get(render.get(), "address", &addressProperty, nullptr);
    EXPECT_STREQ(addressProperty, "192.0.2.7");
    g_free(addressProperty);

    // Objects without the interface are refused, as a failed query would be.
    auto other = Make("fakesink");
    EXPECT_FALSE(tideline_rtp_source_config_set_port(other.get(), 1));
    EXPECT_FALSE(tideline_rtp_render_config_set_destination(source.get(), "127.0.0.1", 6060));
    EXPECT_FALSE(tideline_rtp_source_config_set_peer_address(render.get(), "127.0.0.1"));
    EXPECT_FALSE(tideline_rtp_source_config_get_port(nullptr, &port));
}

TEST_F(TidelineElements, RenderPadsAcceptCompressedMediaAndRefuseRawPcm)
{
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    GstRef<GstPad> video(gst_element_get_static_pad(render.get(), "Video Transport"));
    GstRef<GstPad> audio(gst_element_get_static_pad(render.get(), "Audio Transport"));
    auto accepts = [](GstPad *pad, const char *caps) {
        GstCaps *parsed = gst_caps_from_string(caps);
        const bool accepted = gst_pad_query_accept_caps(pad, parsed);
        gst_caps_unref(parsed);
        return accepted;
    };
    EXPECT_TRUE(accepts(video.get(), "video/x-h263, variant=itu, width=176, height=144"));
    EXPECT_FALSE(accepts(video.get(), "video/x-raw, format=I420, width=176, height=144"));
    EXPECT_TRUE(accepts(audio.get(), "audio/x-truespeech, rate=8000, channels=1"));
    EXPECT_TRUE(accepts(audio.get(), "audio/x-mulaw, rate=8000, channels=1"));
    EXPECT_FALSE(accepts(audio.get(), "audio/x-raw, format=S16LE, rate=8000, channels=1, layout=interleaved"));
    EXPECT_FALSE(accepts(audio.get(), "video/x-h263"));
}

TEST_F(TidelineElements, SourcePadsOfferOneFixedCapsThatTheDecodersTake)
{
    auto source = Make(TIDELINE_RTP_SOURCE_FACTORY);
    struct Case {
        const char *pad, *decoder;
    };
    for (const Case &c : {Case{"Video Transport", "avdec_h263"}, Case{"Audio Transport", "avdec_truespeech"}}) {
        GstRef<GstPad> pad(gst_element_get_static_pad(source.get(), c.pad));
        GstCaps *caps = gst_pad_query_caps(pad.get(), nullptr);
        EXPECT_EQ(gst_caps_get_size(caps), 1u) << c.pad;
        EXPECT_TRUE(gst_caps_is_fixed(caps)) << c.pad;
        auto decoder = Make(c.decoder);
        ASSERT_TRUE(decoder) << c.decoder;
        GstRef<GstPad> sink(gst_element_get_static_pad(decoder.get(), "sink"));
        EXPECT_TRUE(gst_pad_query_accept_caps(sink.get(), caps)) << c.pad;
        gst_caps_unref(caps);
    }
}

TEST_F(TidelineElements, RenderSendsEachBufferAsSlicedPacketsAndByeOnStop)
{
    UdpProbe peer("127.1.3.2", 6060);
    UdpProbe peerRtcp("127.1.3.2", 6061);
    auto render = Make(TIDELINE_RTP_RENDER_FACTORY);
    g_object_set(render.get(), "address", "127.1.3.2", "bind-address", "127.1.3.1", nullptr);
    GstHarness *harness = gst_harness_new_with_element(render.get(), "Video Transport", nullptr);
    gst_harness_set_src_caps_str(harness, "video/x-h263, variant=itu, width=176, height=144");
    gst_harness_play(harness);

    const auto sample = Pattern(3000, 1);
    GstBuffer *buffer = BufferOf(sample);
    GST_BUFFER_OFFSET(buffer) = 41;
    GST_BUFFER_OFFSET_END(buffer) = 42;
    ASSERT_EQ(gst_harness_push(harness, buffer), GST_FLOW_OK);
    const std::size_t expected[] = {1400, 1400, 200};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto datagram = peer.Receive();
        ASSERT_TRUE(datagram);
        EXPECT_EQ(datagram->sourcePort, 6080);
        const auto header = ParseRtpHeader(datagram->bytes);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->payloadLength, expected[i]);
        EXPECT_EQ(header->marker, i == 2);
        EXPECT_EQ(header->timestamp, 1u);
    }
    gst_harness_teardown(harness);
    const auto bye = peerRtcp.Receive();
    ASSERT_TRUE(bye);
    EXPECT_TRUE(RtcpContainsBye(bye->bytes));
}

TEST_F(TidelineElements, RealH263AndTruespeechSizedAudioCrossTwoPipelines)
{
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.4 "
                            "avdec_h263 name=decoder ! appsink name=video sync=false "
                            "appsink name=audio sync=false");
    ASSERT_TRUE(receiver.Link("src", "Video Transport", "decoder", "sink"));
    ASSERT_TRUE(receiver.Link("src", "Audio Transport", "audio", "sink"));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    ScopedPipeline sender("videotestsrc is-live=true num-buffers=15 ! video/x-raw,width=176,height=144,framerate=30/1 "
                          "! avenc_h263 name=encoder "
                          "appsrc name=audio is-live=true format=time caps=\"audio/x-truespeech,rate=8000,channels=1\" "
                          "tidelinertprender name=render address=127.1.3.4 bind-address=127.1.3.3");
    ASSERT_TRUE(sender.Link("encoder", "src", "render", "Video Transport"));
    ASSERT_TRUE(sender.Link("audio", "src", "render", "Audio Transport"));
    ASSERT_TRUE(sender.SetState(GST_STATE_PLAYING));

    // Three 32-byte TrueSpeech blocks per sample, as the codec delivers them.
    const auto audioSample = Pattern(96, 9);
    ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(sender.Element("audio")), BufferOf(audioSample)), GST_FLOW_OK);
    bool audioTimestamped = true;
    const auto audio = Pull(receiver.Element("audio"), &audioTimestamped);
    ASSERT_TRUE(audio);
    EXPECT_EQ(*audio, audioSample);
    EXPECT_FALSE(audioTimestamped) << "delivered samples carry no timestamps";

    // Decoded pictures prove the H.263 frames arrived whole.
    const auto picture = Pull(receiver.Element("video"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), 176u * 144u * 3u / 2u);
    EXPECT_EQ(receiver.PendingError(), "");
}

TEST_F(TidelineElements, SourceListensOnTheStoredPortAndTwoBelowIt)
{
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.5 "
                            "appsink name=video sync=false appsink name=audio sync=false");
    ASSERT_TRUE(receiver.Link("src", "Video Transport", "video", "sink"));
    ASSERT_TRUE(receiver.Link("src", "Audio Transport", "audio", "sink"));
    ASSERT_TRUE(tideline_rtp_source_config_set_port(receiver.Element("src"), 7020));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    CRtpChannel video, audio;
    ASSERT_TRUE(video.Open("127.1.3.5", 7020, 7040, "127.1.3.6"));
    ASSERT_TRUE(audio.Open("127.1.3.5", 7018, 7038, "127.1.3.6"));
    ASSERT_TRUE(video.SendSample(Pattern(5000, 1), 1));
    ASSERT_TRUE(audio.SendSample(Pattern(64, 2), 1));
    EXPECT_EQ(Pull(receiver.Element("video")), Pattern(5000, 1));
    EXPECT_EQ(Pull(receiver.Element("audio")), Pattern(64, 2));
}

TEST_F(TidelineElements, VideoPortInUseLeavesAudioFlowingAndAnUnlinkedPadBindsNothing)
{
    UdpProbe occupant("127.1.3.7", 6060);
    ASSERT_TRUE(occupant.IsBound());
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.7 appsink name=audio sync=false");
    ASSERT_TRUE(receiver.Link("src", "Audio Transport", "audio", "sink"));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    CRtpChannel audio;
    ASSERT_TRUE(audio.Open("127.1.3.7", 6058, 6078, "127.1.3.8"));
    ASSERT_TRUE(audio.SendSample(Pattern(32, 3), 1));
    EXPECT_EQ(Pull(receiver.Element("audio")), Pattern(32, 3));
    EXPECT_EQ(receiver.PendingError(), "") << "a silent stream raises no error";

    ScopedPipeline videoOnly("tidelinertpsrc name=src bind-address=127.1.3.9 fakesink name=sink sync=false");
    ASSERT_TRUE(videoOnly.Link("src", "Video Transport", "sink", "sink"));
    ASSERT_TRUE(videoOnly.SetState(GST_STATE_PLAYING));
    UdpProbe audioPort("127.1.3.9", 6058);
    EXPECT_TRUE(audioPort.IsBound()) << "the unlinked audio pad must not hold its port";
}

TEST_F(TidelineElements, StoppingAnIdleSourceIsPromptAndFreesItsPorts)
{
    // Linked by caps, as gst-launch-1.0 users do.
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.10 "
                            "src. ! avdec_h263 ! fakesink sync=false src. ! avdec_truespeech ! fakesink sync=false");
    GstRef<GstPad> video(gst_element_get_static_pad(receiver.Element("src"), "Video Transport"));
    GstRef<GstPad> audio(gst_element_get_static_pad(receiver.Element("src"), "Audio Transport"));
    ASSERT_TRUE(gst_pad_is_linked(video.get()) && gst_pad_is_linked(audio.get()));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(receiver.SetState(GST_STATE_NULL));
    // The streaming tasks wait 5 s for a sample between looks at their state:
    // only waking them makes the stop this quick.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    UdpProbe videoPort("127.1.3.10", 6060);
    UdpProbe audioPort("127.1.3.10", 6058);
    EXPECT_TRUE(videoPort.IsBound() && audioPort.IsBound());
}

TEST_F(TidelineElements, EndOfStreamSentToTheSourceReachesTheBus)
{
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.11 "
                            "src. ! avdec_h263 ! fakesink sync=false src. ! avdec_truespeech ! fakesink sync=false");
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    ASSERT_TRUE(gst_element_send_event(receiver.Get(), gst_event_new_eos()));
    GstRef<GstBus> bus(gst_element_get_bus(receiver.Get()));
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus.get(), 5 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_TRUE(message);
    EXPECT_EQ(GST_MESSAGE_TYPE(message), GST_MESSAGE_EOS);
    gst_message_unref(message);
}

namespace {

// Sends one well-formed and one malformed RTP packet (a header that claims
// more contributing sources than it holds) per call.
void SendForeignPair(UdpProbe &from, const std::string &to, int port, uint16_t sequence)
{
    const auto payload = Pattern(100, static_cast<uint8_t>(sequence));
    ASSERT_TRUE(from.SendTo(to, port, MakeRtpPacket(sequence, 3000, 0xBAD, true, payload)));
    std::vector<uint8_t> malformed = MakeRtpPacket(sequence, 3000, 0xBAD, true, Pattern(8, 0));
    malformed[0] = 0x8f;
    ASSERT_TRUE(from.SendTo(to, port, malformed));
}

guint64 ForeignPackets(GstElement *source)
{
    guint64 count = 0;
    g_object_get(source, "foreign-packets", &count, nullptr);
    return count;
}

} // namespace

TEST_F(TidelineElements, ThirdHostGetsNothingInWhenThePeerIsSetAndHearsNothingBack)
{
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.20 peer-address=127.1.3.21 "
                            "appsink name=video sync=false appsink name=audio sync=false");
    ASSERT_TRUE(receiver.Link("src", "Video Transport", "video", "sink"));
    ASSERT_TRUE(receiver.Link("src", "Audio Transport", "audio", "sink"));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    UdpProbe stranger("127.1.3.22", 6080);
    UdpProbe strangerRtcp("127.1.3.22", 6081);
    CRtpChannel video, audio;
    ASSERT_TRUE(video.Open("127.1.3.20", 6060, 6080, "127.1.3.21"));
    ASSERT_TRUE(audio.Open("127.1.3.20", 6058, 6078, "127.1.3.21"));

    // 1000 well-formed and 1000 malformed packets, half to each stream, in
    // rounds that each end with a sample from the peer: a socket's datagrams
    // are read in order, so the peer's sample shows the round was looked at.
    constexpr int kRounds = 20;
    constexpr int kPairsPerStreamAndRound = 25;
    uint16_t sequence = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kPairsPerStreamAndRound; ++i) {
            SendForeignPair(stranger, "127.1.3.20", 6060, sequence++);
            SendForeignPair(stranger, "127.1.3.20", 6058, sequence++);
        }
        ASSERT_TRUE(strangerRtcp.SendTo("127.1.3.20", 6061, std::vector<uint8_t>{0x81, 203, 0, 1, 0, 0, 0xB, 0xAD}));
        const auto videoSample = Pattern(2000, static_cast<uint8_t>(round));
        const auto audioSample = Pattern(96, static_cast<uint8_t>(round + 1));
        ASSERT_TRUE(video.SendSample(videoSample, 1));
        ASSERT_TRUE(audio.SendSample(audioSample, 1));
        EXPECT_EQ(Pull(receiver.Element("video")), videoSample) << "round " << round;
        EXPECT_EQ(Pull(receiver.Element("audio")), audioSample) << "round " << round;
    }
    // The RTCP of the last round may still be in its socket; one more round
    // trip of the peer's media makes sure it was read.
    ASSERT_TRUE(video.SendSample(Pattern(10, 0), 1));
    ASSERT_TRUE(Pull(receiver.Element("video")));
    EXPECT_EQ(ForeignPackets(receiver.Element("src")), guint64(4 * kRounds * kPairsPerStreamAndRound + kRounds));
    EXPECT_FALSE(stranger.Receive(0ms)) << "nothing goes back to the third host";
    EXPECT_FALSE(strangerRtcp.Receive(0ms));
    EXPECT_EQ(receiver.PendingError(), "");
}

TEST_F(TidelineElements, SampleAfterALossIsPushedWithTheDiscontFlag)
{
    ScopedPipeline receiver("tidelinertpsrc name=src bind-address=127.1.3.23 appsink name=video sync=false");
    ASSERT_TRUE(receiver.Link("src", "Video Transport", "video", "sink"));
    ASSERT_TRUE(receiver.SetState(GST_STATE_PLAYING));
    UdpProbe peer("127.1.3.24", 6080);
    auto pull = [&](bool &discont) -> std::optional<std::vector<uint8_t>> {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(receiver.Element("video")), 5 * GST_SECOND);
        if (!sample)
            return std::nullopt;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        discont = gst_buffer_has_flags(buffer, GST_BUFFER_FLAG_DISCONT);
        auto bytes = BytesOf(buffer);
        gst_sample_unref(sample);
        return bytes;
    };
    ASSERT_TRUE(peer.SendTo("127.1.3.23", 6060, MakeRtpPacket(10, 1, 0x5, true, Pattern(50, 1))));
    bool discont = true;
    EXPECT_EQ(pull(discont), Pattern(50, 1));
    EXPECT_FALSE(discont);
    // Sequence 11 (a one-packet sample) and 13 (the middle of the next) are
    // lost; 12 may be the tail of 11's sample, 14 ends a sample with a hole.
    ASSERT_TRUE(peer.SendTo("127.1.3.23", 6060, MakeRtpPacket(12, 1, 0x5, true, Pattern(50, 2))));
    ASSERT_TRUE(peer.SendTo("127.1.3.23", 6060, MakeRtpPacket(14, 1, 0x5, true, Pattern(50, 4))));
    ASSERT_TRUE(peer.SendTo("127.1.3.23", 6060, MakeRtpPacket(15, 1, 0x5, true, Pattern(50, 5))));
    EXPECT_EQ(pull(discont), Pattern(50, 5)) << "the samples around the holes are never pushed";
    EXPECT_TRUE(discont);
    ASSERT_TRUE(peer.SendTo("127.1.3.23", 6060, MakeRtpPacket(16, 1, 0x5, true, Pattern(50, 6))));
    EXPECT_EQ(pull(discont), Pattern(50, 6));
    EXPECT_FALSE(discont);
}
