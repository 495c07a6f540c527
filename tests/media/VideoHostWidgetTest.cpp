#include "MediaTestSupport.h"
#include "QtWait.h"
#include "media/MediaGraph.h"
#include "media/VideoWindow.h"
#include "media/qt/VideoHostWidget.h"

#include <QImage>
#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

using namespace kestrel::media;
using namespace kestrel::media::test;
using namespace std::chrono_literals;

namespace {

constexpr int kFrameSize = 16;

class VideoHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitGstreamerForMediaTests();
        ASSERT_TRUE(graph.Create());
        source = ParseElement("appsrc format=time caps=video/x-raw,format=BGRx,width=16,height=16,framerate=0/1");
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(graph.AddFilter(GST_ELEMENT(gst_object_ref(source.get())), "source"), result::Ok);
        graph.AddRegisteredFilter(kTestRendererName, renderer);
        ASSERT_NE(renderer, nullptr);
        ASSERT_EQ(graph.ConnectPins(source.get(), "src", renderer.get(), "Input"), result::Ok);
        ASSERT_TRUE(Succeeded(graph.Run()));

        host.resize(64, 64);
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, Qt::black);
        host.setPalette(palette);
        host.show();
        window = QueryVideoWindow(graph, kTestRendererName);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override
    {
        if (window)
            window->SetOwner(nullptr);
        graph.Stop();
    }

    // Pushes one frame of `color` (0xRRGGBB) and waits until the renderer has shown it.
    void Push(QRgb color)
    {
        guint64 before = Shown();
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, kFrameSize * kFrameSize * 4, nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        for (gsize i = 0; i < map.size; i += 4) {
            map.data[i] = qBlue(color);
            map.data[i + 1] = qGreen(color);
            map.data[i + 2] = qRed(color);
            map.data[i + 3] = 0;
        }
        gst_buffer_unmap(buffer, &map);
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer), GST_FLOW_OK);
        ASSERT_TRUE(WaitForQt([&] { return Shown() > before; }, 10s));
    }

    guint64 Shown() const
    {
        guint64 shown = 0;
        g_object_get(renderer.get(), "frames-shown", &shown, nullptr);
        return shown;
    }

    QRgb PixelAt(int x, int y) { return host.grab().toImage().pixel(x, y) & 0xFFFFFF; }

    bool Shows(int x, int y, QRgb color)
    {
        return WaitForQt([&] { return PixelAt(x, y) == color; }, 10s);
    }

    CMediaGraph graph;
    GstRef<GstElement> source;
    GstRef<GstElement> renderer;
    CVideoHostWidget host;
    std::unique_ptr<IVideoWindow> window;
};

} // namespace

TEST_F(VideoHost, PaintsTheNewestFrameTheRendererShows)
{
    window->SetOwner(&host);
    EXPECT_EQ(window->Owner(), &host);
    EXPECT_TRUE(host.IsAttached());
    Push(0xFF0000);
    EXPECT_TRUE(Shows(32, 32, 0xFF0000));
    Push(0x0000FF);
    EXPECT_TRUE(Shows(32, 32, 0x0000FF)) << "the newer frame replaces the older";
    EXPECT_TRUE(Shows(1, 62, 0x0000FF)) << "the frame fills the host";
}

TEST_F(VideoHost, DetachingShowsTheBackgroundAndStopsTakingFrames)
{
    window->SetOwner(&host);
    Push(0x00FF00);
    ASSERT_TRUE(Shows(32, 32, 0x00FF00));

    window->SetOwner(nullptr);
    EXPECT_FALSE(host.IsAttached());
    EXPECT_TRUE(Shows(32, 32, 0x000000));
    const quint64 taken = host.FramesTaken();
    Push(0xFFFFFF);
    EXPECT_EQ(host.FramesTaken(), taken);
    EXPECT_EQ(PixelAt(32, 32), 0x000000u);
}

TEST_F(VideoHost, HiddenVideoShowsTheBackground)
{
    window->SetOwner(&host);
    Push(0xFF00FF);
    ASSERT_TRUE(Shows(32, 32, 0xFF00FF));
    window->SetVisible(false);
    EXPECT_TRUE(Shows(32, 32, 0x000000));
    window->SetVisible(true);
    EXPECT_TRUE(Shows(32, 32, 0xFF00FF));
}

TEST_F(VideoHost, TheWindowPositionPlacesTheVideoInsideTheHost)
{
    window->SetWindowPosition(0, 0, 32, 32);
    window->SetOwner(&host);
    Push(0xFFFF00);
    EXPECT_TRUE(Shows(16, 16, 0xFFFF00));
    EXPECT_EQ(PixelAt(48, 48), 0x000000u);
}

TEST_F(VideoHost, AGraphWithoutTheRendererHasNoVideoWindow)
{
    CMediaGraph empty;
    ASSERT_TRUE(empty.Create());
    EXPECT_EQ(QueryVideoWindow(empty, kTestRendererName), nullptr);
    EXPECT_EQ(QueryVideoWindow(graph), nullptr) << "only the named renderer is hosted";
}

TEST_F(VideoHost, AWidgetDestroyedWhileFramesArriveIsNeverTouchedAgain)
{
    auto transient = std::make_unique<CVideoHostWidget>();
    transient->AttachRenderer(renderer.get());
    Push(0x123456);
    ASSERT_TRUE(WaitForQt([&] { return transient->FramesTaken() > 0; }, 10s));
    transient.reset(); // still attached: the destructor lets go of the renderer
    Push(0x654321); // would reach freed memory if the handler were still connected
    window->SetOwner(&host);
    Push(0xABCDEF);
    EXPECT_TRUE(Shows(32, 32, 0xABCDEF));
}

TEST_F(VideoHost, AttachingAndDetachingWhileFramesStreamNeverLosesTheWidget)
{
    CMediaGraph streaming;
    ASSERT_TRUE(streaming.Create());
    GstRef<GstElement> camera = ParseElement("videotestsrc is-live=false");
    GstRef<GstElement> format = ParseElement("capsfilter caps=video/x-raw,format=BGRx,width=32,height=32");
    GstElement *cameraElement = camera.get();
    GstElement *formatElement = format.get();
    ASSERT_EQ(streaming.AddFilter(camera.release()), result::Ok);
    ASSERT_EQ(streaming.AddFilter(format.release()), result::Ok);
    GstRef<GstElement> fast;
    streaming.AddRegisteredFilter(kTestRendererName, fast);
    ASSERT_NE(fast, nullptr);
    ASSERT_TRUE(gst_element_link(cameraElement, formatElement));
    ASSERT_EQ(streaming.ConnectPins(formatElement, "src", fast.get(), "Input"), result::Ok);
    ASSERT_TRUE(Succeeded(streaming.Run()));

    for (int round = 0; round < 50; ++round) {
        CVideoHostWidget transient;
        transient.AttachRenderer(fast.get());
        ASSERT_TRUE(WaitForQt([&] { return transient.FramesTaken() > 0; }, 10s));
        if (round % 2)
            transient.AttachRenderer(nullptr); // else the destructor detaches
    }
    streaming.Stop();
}
