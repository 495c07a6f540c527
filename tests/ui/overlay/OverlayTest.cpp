#include "ui/overlay/Overlay.h"

#include "overlaysettings/OverlaySettings.h"
#include "platform/store/MemoryProfileStore.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/ui/overlay/FakeGlobalShortcut.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrel::ui::overlay {
namespace {

using overlaysettings::OverlaySettings;
using platform::GstRef;

constexpr int kDeadlineMs = 5000;

// The call's receive side: a live 30 fps picture into a renderer with the frame tap.
class StandInCall {
public:
    explicit StandInCall(int width = 176, int height = 144)
    {
        media::test::InitGstreamerForMediaTests();
        const std::string description = "videotestsrc is-live=true ! video/x-raw,format=BGRx,width=" +
                                        std::to_string(width) + ",height=" + std::to_string(height) +
                                        ",framerate=30/1 ! " + media::test::kTestRendererFactory + " name=renderer";
        pipeline.reset(gst_parse_launch(description.c_str(), nullptr));
        renderer.reset(gst_bin_get_by_name(GST_BIN(pipeline.get()), "renderer"));
    }
    ~StandInCall() { gst_element_set_state(pipeline.get(), GST_STATE_NULL); }
    void Play() { gst_element_set_state(pipeline.get(), GST_STATE_PLAYING); }
    GstElement *Renderer() const { return renderer.get(); }

private:
    GstRef<GstElement> pipeline;
    GstRef<GstElement> renderer;
};

class FakeDesktop final : public IDesktop {
public:
    std::optional<PixelRect> FocusedWindow() override { return focused; }
    void IgnoreWindow(std::uint32_t id) override { ignored = id; }
    void Restack() { NotifyRestacked(); }
    std::optional<PixelRect> focused;
    std::uint32_t ignored = 0;
};

struct FloatingPicture : ::testing::Test {
    FloatingPicture()
    {
        Save([](OverlaySettings &) {});
        overlay = std::make_unique<COverlay>(COverlay::Parts{store, &shortcut, &desktop, [this] { return zoom; },
                                                             [this] { return screens; }});
    }
    ~FloatingPicture() override { overlay.reset(); }

    void Save(const std::function<void(OverlaySettings &)> &change)
    {
        OverlaySettings settings;
        overlaysettings::LoadOverlaySettings(store, settings);
        change(settings);
        overlaysettings::SaveOverlaySettings(store, settings);
    }
    // Starts the call and waits for its first frame's picture.
    void StartCall()
    {
        overlay->SetRenderer(call.Renderer());
        call.Play();
        ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->Window().isVisible(); }, kDeadlineMs));
    }
    bool PlacedAt(const PixelRect &expected)
    {
        return QTest::qWaitFor(
            [&] {
                const QRect g = overlay->Window().geometry();
                return PixelRect{g.x(), g.y(), g.width(), g.height()} == expected && overlay->Window().isVisible();
            },
            kDeadlineMs);
    }
    PixelRect Geometry() const
    {
        const QRect g = overlay->Window().geometry();
        return {g.x(), g.y(), g.width(), g.height()};
    }

    platform::MemoryProfileStore store;
    test::FakeGlobalShortcut shortcut;
    FakeDesktop desktop;
    int zoom = 1;
    COverlay::Screens screens{{PixelRect{0, 0, 1280, 1024}}, 0};
    StandInCall call;
    std::unique_ptr<COverlay> overlay;
};

TEST_F(FloatingPicture, ThePictureAppearsAtTheCallsFirstFrameAndGoesWithTheCall)
{
    overlay->SetRenderer(call.Renderer());
    EXPECT_FALSE(overlay->Window().isVisible()); // no frame yet
    call.Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->Window().isVisible(); }, kDeadlineMs));
    EXPECT_GT(overlay->Tap().FramesTaken(), 0u);
    EXPECT_EQ(overlay->Window().windowTitle(), QStringLiteral("ORVA Video3D Renderer"));
    overlay->SetRenderer(nullptr);
    EXPECT_FALSE(overlay->Window().isVisible());
    EXPECT_EQ(overlay->Toggle(), COverlay::ToggleResult::NoCall);
    EXPECT_FALSE(overlay->Window().isVisible());
}

TEST_F(FloatingPicture, TheWindowFloatsAndLetsInputThrough)
{
    StartCall();
    const Qt::WindowFlags flags = overlay->Window().windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::Tool)); // not in the task bar
    EXPECT_EQ(desktop.ignored, static_cast<std::uint32_t>(overlay->Window().winId()));
}

TEST_F(FloatingPicture, EachPositionIndexPutsThePictureInItsCorner)
{
    StartCall();
    EXPECT_TRUE(PlacedAt({1088, 16, 176, 144})) << "default Top/Right";
    const std::pair<int, PixelRect> corners[] = {
        {1, {16, 16, 176, 144}}, {2, {16, 864, 176, 144}}, {3, {1088, 864, 176, 144}}, {-1, {1088, 16, 176, 144}}};
    for (const auto &[index, expected] : corners) {
        Save([index = index](OverlaySettings &s) { s.positionIndex = index; });
        EXPECT_TRUE(PlacedAt(expected)) << "index " << index << " gave " << Geometry().x << "," << Geometry().y;
    }
}

TEST_F(FloatingPicture, UserInputPlacesTheTopLeftCornerAndNegativeCountsFromTheFarEdges)
{
    StartCall();
    Save([](OverlaySettings &s) {
        s.positionIndex = 4;
        s.posX = 100;
        s.posY = 200;
    });
    EXPECT_TRUE(PlacedAt({100, 200, 176, 144}));
    Save([](OverlaySettings &s) {
        s.posX = -300;
        s.posY = -200;
    });
    EXPECT_TRUE(PlacedAt({980, 824, 176, 144}));
}

TEST_F(FloatingPicture, TheViewsZoomSizesThePicture)
{
    StartCall();
    zoom = 2;
    EXPECT_TRUE(PlacedAt({1280 - 352 - 16, 16, 352, 288}));
}

TEST_F(FloatingPicture, TransparencyIsTheWindowsOpacityAndAHundredHidesIt)
{
    StartCall();
    EXPECT_DOUBLE_EQ(overlay->Window().windowOpacity(), 1.0);
    Save([](OverlaySettings &s) { s.transparency = 37; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return qAbs(overlay->Window().windowOpacity() - 0.63) < 0.01; }, kDeadlineMs));
    EXPECT_TRUE(overlay->Window().isVisible());
    Save([](OverlaySettings &s) { s.transparency = 100; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->Window().isVisible(); }, kDeadlineMs));
    Save([](OverlaySettings &s) { s.transparency = 0; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay->Window().isVisible(); }, kDeadlineMs));
    EXPECT_DOUBLE_EQ(overlay->Window().windowOpacity(), 1.0);
}

TEST_F(FloatingPicture, TheHotKeyAndToggleHideAndShowAndANewCallShowsAgain)
{
    StartCall();
    QSignalSpy visibility(overlay.get(), &COverlay::VisibilityChanged);
    shortcut.Press();
    EXPECT_FALSE(overlay->Window().isVisible()); // at once, not at the next poll
    EXPECT_EQ(overlay->Toggle(), COverlay::ToggleResult::Shown);
    EXPECT_TRUE(overlay->Window().isVisible());
    EXPECT_EQ(overlay->Toggle(), COverlay::ToggleResult::Hidden);
    EXPECT_EQ(visibility.count(), 3);
    // Hidden stays hidden while frames keep coming and settings are read again.
    const quint64 frames = overlay->Tap().FramesTaken();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->Tap().FramesTaken() > frames + 20; }, kDeadlineMs));
    EXPECT_FALSE(overlay->Window().isVisible());

    overlay->SetRenderer(nullptr);
    overlay->SetRenderer(call.Renderer());
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay->Window().isVisible(); }, kDeadlineMs));
}

TEST_F(FloatingPicture, TheHotKeyIsBoundFromTheSettingsAndRebindsWhenTheyChange)
{
    ASSERT_FALSE(shortcut.bound.empty());
    EXPECT_EQ(shortcut.bound.back(), (overlaysettings::HotKey{0x56, 0x06}));
    const std::size_t binds = shortcut.bound.size();
    Save([](OverlaySettings &s) {
        s.key = 0x74; // F5
        s.modifier = 0x01;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return shortcut.bound.size() > binds; }, kDeadlineMs));
    EXPECT_EQ(shortcut.bound.back(), (overlaysettings::HotKey{0x74, 0x01}));
    // Reading an unchanged hot key again binds nothing new.
    const std::size_t after = shortcut.bound.size();
    Save([](OverlaySettings &s) { s.posX = 123; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->Settings().posX == 123; }, kDeadlineMs));
    EXPECT_EQ(shortcut.bound.size(), after);
}

TEST_F(FloatingPicture, ThePictureGoesToTheScreenOfTheFocusedGame)
{
    screens = {{PixelRect{0, 0, 1280, 1024}, PixelRect{1280, 0, 1920, 1080}}, 0};
    desktop.focused = PixelRect{1280, 0, 1920, 1080}; // a fullscreen game on the second screen
    StartCall();
    EXPECT_TRUE(PlacedAt({1280 + 1920 - 176 - 16, 16, 176, 144}));
    desktop.focused = PixelRect{100, 100, 640, 480};
    EXPECT_TRUE(PlacedAt({1088, 16, 176, 144}));
}

TEST_F(FloatingPicture, ThePeerChangingItsPictureSizeResizesTheWindow)
{
    StartCall();
    EXPECT_TRUE(PlacedAt({1088, 16, 176, 144}));
    overlay->SetRenderer(nullptr);
    StandInCall larger(352, 288);
    overlay->SetRenderer(larger.Renderer());
    larger.Play();
    EXPECT_TRUE(PlacedAt({1280 - 352 - 16, 16, 352, 288}));
    overlay->SetRenderer(nullptr);
}

} // namespace
} // namespace kestrel::ui::overlay
