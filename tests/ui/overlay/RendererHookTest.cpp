// The graph builder's hook that hands the call's renderer to the floating picture.
#include "media/GraphBuilder.h"
#include "tests/media/MediaTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::media {
namespace {

// Pages that send nothing: only the receive side is built.
class ReceiveOnlyPages final : public ICapturePages {
public:
    bool VideoEnabled() const override { return false; }
    bool AudioEnabled() const override { return false; }
    void GetVideoSize(int &w, int &h) const override
    {
        w = 176;
        h = 144;
    }
    void SetVideoSize(int, int) override {}
    std::shared_ptr<ICaptureDevice> ChosenCamera() const override { return nullptr; }
    int ChooseDefaultVideoDevice() override { return 1; }
    std::shared_ptr<ICaptureDevice> ChosenMicrophone() const override { return nullptr; }
    int ChooseDefaultAudioDevice() override { return 1; }
};

class IgnoringHost final : public IVideoHost {
public:
    void AttachRenderer(GstElement *) override {}
    void SetVideoVisible(bool) override {}
    void SetVideoRect(int, int, int, int) override {}
};

std::string LongName(GstElement *element)
{
    if (!element)
        return "null";
    GstElementFactory *factory = gst_element_get_factory(element);
    return factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME) : "?";
}

struct RendererHook : ::testing::Test {
    static void SetUpTestSuite() { test::InitGstreamerForMediaTests(); }

    RendererHook()
    {
        CGraphBuilder::Parts parts{pages, host, {}, {}, "127.0.14.2"};
        parts.remoteRendererChanged = [this](GstElement *renderer) {
            seen.push_back(LongName(renderer));
            // The renderer is in the render graph, and not yet streaming.
            if (renderer) {
                GstState state = GST_STATE_VOID_PENDING;
                gst_element_get_state(renderer, &state, nullptr, 0);
                inGraphBeforeRunning = GST_ELEMENT_PARENT(renderer) == GST_ELEMENT(builder->RenderGraph().Bin()) &&
                                       state < GST_STATE_PAUSED;
            }
        };
        builder = std::make_unique<CGraphBuilder>(std::move(parts));
        EXPECT_EQ(builder->Create(), CGraphBuilder::Creation::Created);
    }

    ReceiveOnlyPages pages;
    IgnoringHost host;
    std::vector<std::string> seen;
    bool inGraphBeforeRunning = false;
    std::unique_ptr<CGraphBuilder> builder;
};

TEST_F(RendererHook, AVideoCallAnnouncesItsRendererBeforeRunningAndItsEnd)
{
    builder->StartCallMedia("127.0.14.3", 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"ORVA Video3D Renderer"}));
    EXPECT_TRUE(inGraphBeforeRunning);
    builder->StopMedia();
    EXPECT_EQ(seen, (std::vector<std::string>{"ORVA Video3D Renderer", "null"}));
    builder->StopMedia(); // no renderer left: nothing more to say
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(RendererHook, AnAudioOnlyCallHasNoRendererAndANewCallReplacesTheOld)
{
    builder->StartCallMedia("127.0.14.3", 2);
    EXPECT_TRUE(seen.empty());
    builder->StartCallMedia("127.0.14.3", 1);
    builder->StartCallMedia("127.0.14.3", 1); // the first call's renderer goes before the next one comes
    EXPECT_EQ(seen, (std::vector<std::string>{"ORVA Video3D Renderer", "null", "ORVA Video3D Renderer"}));
    builder.reset(); // destruction does not call back into an owner that may be gone
    EXPECT_EQ(seen.size(), 3u);
}

} // namespace
} // namespace kestrel::media
