#include "media/crossbar/CrossbarRouter.h"
#include "tests/media/crossbar/FakeCrossbar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::media::crossbar {
namespace {

using test::FakeCrossbar;
using Log = std::vector<std::string>;

class CrossbarRouting : public ::testing::Test {
protected:
    std::shared_ptr<FakeCrossbar> Crossbar(const std::string &name)
    {
        return std::make_shared<FakeCrossbar>(name, log);
    }
    // The inputs as the Device Input list shows them.
    static std::vector<std::string> Names(const CCrossbarRouter &router)
    {
        std::vector<std::string> names;
        for (int i = 0; i < router.CountInputs(); ++i) {
            char text[255];
            EXPECT_EQ(router.DescribeInput(i, text, sizeof text), result::Ok);
            names.emplace_back(text);
        }
        return names;
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();
};

TEST_F(CrossbarRouting, ThreeVideoInputsOfOneCrossbarAreThreeOneHopRoutesInInputOrder)
{
    auto card = Crossbar("card");
    card->AddInput(connector::VideoComposite);
    card->AddInput(connector::VideoSVideo);
    card->AddInput(connector::VideoTuner);
    card->AddOutput(connector::VideoDecoder);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    EXPECT_EQ(found, result::Ok);
    ASSERT_EQ(router.CountInputs(), 3);
    EXPECT_EQ(Names(router), (std::vector<std::string>{"Video Composite", "Video SVideo", "Video Tuner"}));
    for (const CrossbarRoute &route : router.Routes()) {
        ASSERT_EQ(route.size(), 1u);
        EXPECT_EQ(route[0].depth, 0);
        EXPECT_EQ(route[0].outputType, connector::VideoDecoder);
    }

    EXPECT_EQ(router.RouteInput(1), result::Ok);
    EXPECT_EQ(router.RouteInput(2), result::Ok);
    EXPECT_EQ(*log, (Log{"card 0<-1", "card 0<-2"}));
}

TEST_F(CrossbarRouting, AudioInputsAreNoRoutesButTheRelatedAudioFollowsTheVideo)
{
    auto card = Crossbar("card");
    card->AddInput(connector::VideoComposite, 3); // 0, with the line input
    card->AddInput(connector::VideoTuner, 2);     // 1, with the tuner's sound
    card->AddInput(connector::AudioTuner, 1);     // 2
    card->AddInput(connector::AudioLine, 0);      // 3
    card->AddInput(connector::VideoSVideo);       // 4, no sound of its own
    card->AddOutput(connector::VideoDecoder, 1);
    card->AddOutput(connector::AudioDecoder, 0);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    EXPECT_EQ(Names(router), (std::vector<std::string>{"Video Composite", "Video Tuner", "Video SVideo"}));

    router.RouteInput(1);
    EXPECT_EQ(*log, (Log{"card 0<-1", "card 1<-2"}));
    log->clear();
    router.RouteInput(0);
    EXPECT_EQ(*log, (Log{"card 0<-0", "card 1<-3"}));
    log->clear();
    router.RouteInput(2);
    EXPECT_EQ(*log, (Log{"card 0<-4"})) << "no related audio input: only the video is switched";
}

TEST_F(CrossbarRouting, RelatedAudioIsNotSwitchedWhenTheOutputHasNoAudioCompanion)
{
    auto card = Crossbar("card");
    card->AddInput(connector::VideoComposite, 1);
    card->AddInput(connector::AudioLine, 0);
    card->AddInput(connector::VideoSVideo);
    card->AddOutput(connector::VideoDecoder); // no related output
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    router.RouteInput(0);
    EXPECT_EQ(*log, (Log{"card 0<-0"}));
}

TEST_F(CrossbarRouting, TwoCrossbarsInAChainGiveTwoHopRoutesSwitchedUpstreamFirst)
{
    // tuner card: tuner, composite -> output 0 -> input 0 of the card's
    // second crossbar, whose input 1 is an S-Video socket.
    auto upstream = Crossbar("first");
    upstream->AddInput(connector::VideoTuner);
    upstream->AddInput(connector::VideoComposite);
    upstream->AddOutput(connector::VideoDecoder);
    auto downstream = Crossbar("second");
    downstream->AddInput(connector::VideoDecoder);
    downstream->AddInput(connector::VideoSVideo);
    downstream->AddOutput(connector::VideoDecoder);
    downstream->ConnectInput(0, upstream, 0);

    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(downstream, 0), found);
    EXPECT_EQ(found, result::Ok);
    EXPECT_EQ(Names(router), (std::vector<std::string>{"Video Tuner", "Video Composite", "Video SVideo"}));
    const std::vector<CrossbarRoute> &routes = router.Routes();
    ASSERT_EQ(routes.size(), 3u);
    ASSERT_EQ(routes[1].size(), 2u);
    EXPECT_EQ(routes[1][0].depth, 1) << "element 0 is the connector's crossbar";
    EXPECT_EQ(routes[1][1].depth, 0);
    EXPECT_EQ(routes[2].size(), 1u);

    router.RouteInput(1);
    EXPECT_EQ(*log, (Log{"first 0<-1", "second 0<-0"}));
    log->clear();
    router.RouteInput(2);
    EXPECT_EQ(*log, (Log{"second 0<-1"}));
}

TEST_F(CrossbarRouting, ARouteKeepsItsCrossbarsAliveAfterTheCallerLetsGo)
{
    auto upstream = Crossbar("first");
    upstream->AddInput(connector::VideoTuner);
    upstream->AddOutput(connector::VideoDecoder);
    auto downstream = Crossbar("second");
    downstream->AddInput(connector::VideoDecoder);
    downstream->AddOutput(connector::VideoDecoder);
    downstream->ConnectInput(0, upstream, 0);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(downstream, 0), found);
    std::weak_ptr<FakeCrossbar> watched = upstream;
    upstream.reset();
    downstream.reset();
    EXPECT_FALSE(watched.expired());
    EXPECT_EQ(router.RouteInput(0), result::Ok);
    EXPECT_EQ(*log, (Log{"first 0<-0", "second 0<-0"}));
}

TEST_F(CrossbarRouting, InputsThatCannotBeRoutedToTheOutputAreLeftOut)
{
    auto card = Crossbar("card");
    card->AddInput(connector::VideoComposite);
    card->AddInput(connector::VideoSVideo);
    card->inputs[0].routable = false;
    card->AddOutput(connector::VideoDecoder);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    EXPECT_EQ(Names(router), (std::vector<std::string>{"Video SVideo"}));
}

TEST_F(CrossbarRouting, UnknownConnectorTypesAndShortBuffers)
{
    auto card = Crossbar("card");
    card->AddInput(14);
    card->AddInput(connector::VideoComposite);
    card->AddOutput(connector::VideoDecoder);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    EXPECT_EQ(Names(router)[0], "Unknown");

    char text[8] = "xxxxxxx";
    EXPECT_EQ(router.DescribeInput(1, text, 5), result::Ok);
    EXPECT_STREQ(text, "Vide");
    EXPECT_EQ(text[5], 'x') << "nothing written past the buffer";
    EXPECT_EQ(router.DescribeInput(1, text, 1), result::Ok);
    EXPECT_STREQ(text, "");
    text[0] = 'y';
    EXPECT_EQ(router.DescribeInput(1, text, 0), result::Fail);
    EXPECT_EQ(text[0], 'y');
    EXPECT_EQ(router.DescribeInput(1, nullptr, 5), result::Fail);
    EXPECT_EQ(router.DescribeInput(2, text, 5), result::Fail);

    EXPECT_STREQ(ConnectorName(connector::AudioSpdifDigital), "Audio SPDIFDigital");
    EXPECT_STREQ(ConnectorName(0), "Unknown");
    EXPECT_STREQ(ConnectorName(0x100A), "Unknown");
}

TEST_F(CrossbarRouting, AnIndexBelowZeroTakesTheFirstInputAndOnePastTheEndFails)
{
    auto card = Crossbar("card");
    card->AddInput(connector::VideoSVideo);
    card->AddInput(connector::VideoComposite);
    card->AddOutput(connector::VideoDecoder);
    HResult found = result::Fail;
    CCrossbarRouter router(PinConnection::ToCrossbar(card, 0), found);
    char text[32];
    EXPECT_EQ(router.DescribeInput(-1, text, sizeof text), result::Ok);
    EXPECT_STREQ(text, "Video SVideo");
    EXPECT_EQ(router.RouteInput(-1), result::Ok);
    EXPECT_EQ(router.RouteInput(2), result::Fail);
    EXPECT_EQ(*log, (Log{"card 0<-0"}));
}

TEST_F(CrossbarRouting, ACaptureInputOnNothingOrOnAnotherFilterHasNoInputs)
{
    for (const PinConnection &start : {PinConnection{}, PinConnection{PinConnection::Upstream::OtherFilter, {}, 0}}) {
        HResult found = result::Ok;
        CCrossbarRouter router(start, found);
        EXPECT_EQ(found, result::Fail);
        EXPECT_EQ(router.CountInputs(), 0);
        char text[16];
        EXPECT_EQ(router.DescribeInput(-1, text, sizeof text), result::Fail);
        EXPECT_EQ(router.RouteInput(-1), result::Fail) << "no first input to route";
    }
}

TEST_F(CrossbarRouting, ALoopOfCrossbarsEndsTheSearch)
{
    auto first = Crossbar("first");
    auto second = Crossbar("second");
    first->AddInput(connector::VideoDecoder);
    first->AddInput(connector::VideoComposite);
    first->AddOutput(connector::VideoDecoder);
    second->AddInput(connector::VideoDecoder);
    second->AddOutput(connector::VideoDecoder);
    first->ConnectInput(0, second, 0);
    second->ConnectInput(0, first, 0);
    HResult found = result::Fail;
    {
        CCrossbarRouter router(PinConnection::ToCrossbar(first, 0), found);
        EXPECT_EQ(found, result::Ok);
        // The search ends; only the composite socket is a connector.
        EXPECT_GT(router.CountInputs(), 0);
        EXPECT_LE(router.CountInputs(), CCrossbarRouter::kMaxChain);
        for (const CrossbarRoute &route : router.Routes())
            EXPECT_EQ(route.front().inputType, connector::VideoComposite);
    }
    first->inputs.clear(); // break the reference cycle
    second->inputs.clear();
}

} // namespace
} // namespace kestrel::media::crossbar
