// The floating picture and the hot key on a real X server: run under Xvfb
// with QT_QPA_PLATFORM=xcb, without a window manager and, when
// KESTREL_TEST_WINDOW_MANAGER names one, with it.
#include "overlaysettings/OverlaySettings.h"
#include "platform/store/MemoryProfileStore.h"
#include "tests/media/MediaTestSupport.h"
#include "ui/overlay/Overlay.h"
#include "ui/overlay/X11Desktop.h"
#include "ui/overlay/X11GlobalShortcut.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/shape.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace kestrel::ui::overlay {
namespace {

using overlaysettings::OverlaySettings;
using platform::GstRef;

constexpr int kDeadlineMs = 10000;
constexpr std::uint32_t kKeysymV = 0x76;
constexpr std::uint32_t kKeysymControl = 0xFFE3;
constexpr std::uint32_t kKeysymAlt = 0xFFE9;
constexpr std::uint32_t kKeysymCapsLock = 0xFFE5;

// A connection of the test's own: reads the window tree and sends input through XTEST.
class TestX11 {
public:
    TestX11() : connection(ConnectX11("")), root(connection ? RootWindow(connection.get(), 0) : 0)
    {
        if (connection)
            symbols = xcb_key_symbols_alloc(connection.get());
    }
    ~TestX11()
    {
        if (symbols)
            xcb_key_symbols_free(symbols);
    }
    xcb_connection_t *Get() const { return connection.get(); }
    void Sync() { free(xcb_get_input_focus_reply(Get(), xcb_get_input_focus(Get()), nullptr)); }

    void Key(std::uint32_t keysym, bool press)
    {
        XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
        ASSERT_TRUE(codes && codes.get()[0] != XCB_NO_SYMBOL) << "no key for keysym " << keysym;
        xcb_test_fake_input(Get(), press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, codes.get()[0], XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        Sync();
    }
    void Chord(std::initializer_list<std::uint32_t> keysyms)
    {
        for (std::uint32_t k : keysyms)
            Key(k, true);
        for (auto k = std::rbegin(keysyms); k != std::rend(keysyms); ++k)
            Key(*k, false);
    }
    void ClickAt(int x, int y)
    {
        xcb_test_fake_input(Get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, static_cast<int16_t>(x),
                            static_cast<int16_t>(y), 0);
        xcb_test_fake_input(Get(), XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(Get(), XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        Sync();
    }
    xcb_window_t Focus()
    {
        XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(Get(), xcb_get_input_focus(Get()), nullptr));
        return focus ? focus->focus : xcb_window_t{XCB_WINDOW_NONE};
    }
    // Root's children, bottom to top.
    std::vector<xcb_window_t> Stacking()
    {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(Get(), xcb_query_tree(Get(), root), nullptr));
        if (!tree)
            return {};
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        return {children, children + xcb_query_tree_children_length(tree.get())};
    }
    // The child of root that holds `window` (its frame under a window manager).
    xcb_window_t TopLevelOf(xcb_window_t window)
    {
        while (true) {
            XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(Get(), xcb_query_tree(Get(), window), nullptr));
            if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE)
                return window;
            window = tree->parent;
        }
    }
    std::optional<std::uint32_t> Cardinal(xcb_window_t window, const char *atom)
    {
        XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
            Get(), xcb_get_property(Get(), 0, window, InternAtom(Get(), atom), XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!property || xcb_get_property_value_length(property.get()) < 4)
            return std::nullopt;
        return *static_cast<const std::uint32_t *>(xcb_get_property_value(property.get()));
    }
    std::string Title(xcb_window_t window)
    {
        XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
            Get(), xcb_get_property(Get(), 0, window, InternAtom(Get(), "_NET_WM_NAME"),
                                    InternAtom(Get(), "UTF8_STRING"), 0, 256),
            nullptr));
        if (!property)
            return {};
        return {static_cast<const char *>(xcb_get_property_value(property.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(property.get()))};
    }

    XcbConnection connection;
    xcb_window_t root = 0;
    xcb_key_symbols_t *symbols = nullptr;
};

// The window manager the test was asked to run, started and stopped with the suite.
class WindowManager {
public:
    static void Start()
    {
        const char *name = std::getenv("KESTREL_TEST_WINDOW_MANAGER");
        if (!name || !*name || pid > 0)
            return;
        TestX11 x11;
        const xcb_atom_t check = InternAtom(x11.Get(), "_NET_SUPPORTING_WM_CHECK");
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x11.Get(), x11.root, XCB_CW_EVENT_MASK, &events);
        x11.Sync();
        pid = ::fork();
        if (pid == 0) {
            ::execlp(name, name, static_cast<char *>(nullptr));
            ::_exit(127);
        }
        // It announces itself on the root window, but maps windows only once
        // its start-up is over (a map request before is lost): ready when a
        // probe window it was asked to map is mapped.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        pollfd wait{xcb_get_file_descriptor(x11.Get()), POLLIN, 0};
        xcb_window_t probe = XCB_WINDOW_NONE;
        while (std::chrono::steady_clock::now() < deadline) {
            while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(x11.Get())}) {
                const int type = event->response_type & 0x7F;
                if (type == XCB_PROPERTY_NOTIFY && probe == XCB_WINDOW_NONE &&
                    reinterpret_cast<xcb_property_notify_event_t *>(event.get())->atom == check) {
                    probe = xcb_generate_id(x11.Get());
                    const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_create_window(x11.Get(), XCB_COPY_FROM_PARENT, probe, x11.root, 0, 0, 10, 10, 0,
                                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                                      &structure);
                    xcb_map_window(x11.Get(), probe);
                    x11.Sync();
                } else if (type == XCB_MAP_NOTIFY && probe != XCB_WINDOW_NONE) {
                    xcb_destroy_window(x11.Get(), probe);
                    x11.Sync();
                    return;
                }
            }
            if (::poll(&wait, 1, 250) == 0 && probe != XCB_WINDOW_NONE) {
                xcb_map_window(x11.Get(), probe); // asked again: the first request may have been lost
                x11.Sync();
            }
        }
        ADD_FAILURE() << name << " did not start";
    }
    static void Stop()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    static bool Running() { return pid > 0; }

private:
    static inline pid_t pid = -1;
};

// A stand-in game: a window of its own filling the screen, taking clicks.
class StandInGame {
public:
    explicit StandInGame(TestX11 &display) : x11(display)
    {
        xcb_connection_t *c = x11.Get();
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        window = xcb_generate_id(c);
        const uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, x11.root, 0, 0, screen->width_in_pixels,
                          screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const char *title = "Stand-in Game";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(std::strlen(title)), title);
        const xcb_atom_t fullscreen = InternAtom(c, "_NET_WM_STATE_FULLSCREEN");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, InternAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1,
                            &fullscreen);
        xcb_map_window(c, window);
        x11.Sync();
    }
    ~StandInGame()
    {
        xcb_destroy_window(x11.Get(), window);
        x11.Sync();
    }
    bool WaitFor(uint8_t type)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
        pollfd wait{xcb_get_file_descriptor(x11.Get()), POLLIN, 0};
        while (std::chrono::steady_clock::now() < deadline) {
            while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(x11.Get())})
                if ((event->response_type & 0x7F) == type)
                    return true;
            ::poll(&wait, 1, 50);
        }
        return false;
    }
    void Focus()
    {
        xcb_set_input_focus(x11.Get(), XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        x11.Sync();
    }

    TestX11 &x11;
    xcb_window_t window = 0;
};

struct FloatingPictureOnX11 : ::testing::Test {
    static void SetUpTestSuite()
    {
        media::test::InitGstreamerForMediaTests();
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            WindowManager::Start();
    }
    static void TearDownTestSuite() { WindowManager::Stop(); }

    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs QT_QPA_PLATFORM=xcb on an X server";
        ASSERT_TRUE(x11.Get());
        desktop = CX11Desktop::Open("");
        ASSERT_TRUE(desktop);
        pipeline.reset(gst_parse_launch(("videotestsrc is-live=true ! video/x-raw,format=BGRx,width=176,height=144,"
                                         "framerate=30/1 ! " + std::string(media::test::kTestRendererFactory) +
                                         " name=renderer").c_str(),
                                        nullptr));
        renderer.reset(gst_bin_get_by_name(GST_BIN(pipeline.get()), "renderer"));
        overlay = std::make_unique<COverlay>(COverlay::Parts{store, nullptr, desktop.get(), [] { return 1; }, {}});
    }
    void TearDown() override
    {
        overlay.reset();
        if (pipeline)
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    }
    void StartCall()
    {
        overlay->SetRenderer(renderer.get());
        gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Viewable(); }, kDeadlineMs));
    }
    xcb_window_t Window() const { return static_cast<xcb_window_t>(overlay->Window().winId()); }
    bool Viewable()
    {
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(x11.Get(), xcb_get_window_attributes(x11.Get(), Window()), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    PixelRect ServerGeometry()
    {
        XcbReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(x11.Get(), xcb_get_geometry(x11.Get(), Window()), nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
            x11.Get(), xcb_translate_coordinates(x11.Get(), Window(), x11.root, 0, 0), nullptr));
        return g && at ? PixelRect{at->dst_x, at->dst_y, g->width, g->height} : PixelRect{};
    }
    bool PlacedAt(const PixelRect &expected)
    {
        return QTest::qWaitFor([&] { return ServerGeometry() == expected; }, kDeadlineMs);
    }
    void Save(const std::function<void(OverlaySettings &)> &change)
    {
        OverlaySettings settings;
        overlaysettings::LoadOverlaySettings(store, settings);
        change(settings);
        overlaysettings::SaveOverlaySettings(store, settings);
    }

    TestX11 x11;
    platform::MemoryProfileStore store;
    std::unique_ptr<CX11Desktop> desktop;
    GstRef<GstElement> pipeline;
    GstRef<GstElement> renderer;
    std::unique_ptr<COverlay> overlay;
};

TEST_F(FloatingPictureOnX11, TheWindowIsTitledOverridesTheManagerAndTakesNoInput)
{
    StartCall();
    EXPECT_EQ(x11.Title(Window()), "ORVA Video3D Renderer");
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(x11.Get(), xcb_get_window_attributes(x11.Get(), Window()), nullptr));
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->override_redirect); // no frame, no task bar entry, never focused by the manager
    XcbReply<xcb_shape_get_rectangles_reply_t> input(xcb_shape_get_rectangles_reply(
        x11.Get(), xcb_shape_get_rectangles(x11.Get(), Window(), XCB_SHAPE_SK_INPUT), nullptr));
    ASSERT_TRUE(input);
    EXPECT_EQ(xcb_shape_get_rectangles_rectangles_length(input.get()), 0) << "the input region must be empty";
}

TEST_F(FloatingPictureOnX11, ClicksAndFocusGoToTheGameUnderThePicture)
{
    StandInGame game(x11);
    ASSERT_TRUE(game.WaitFor(XCB_MAP_NOTIFY));
    game.Focus();
    StartCall();
    ASSERT_TRUE(PlacedAt({1088, 16, 176, 144}));
    const auto stacking = x11.Stacking();
    const auto gameAt = std::find(stacking.begin(), stacking.end(), x11.TopLevelOf(game.window));
    const auto pictureAt = std::find(stacking.begin(), stacking.end(), Window());
    ASSERT_NE(pictureAt, stacking.end());
    EXPECT_GT(pictureAt, gameAt) << "the picture must be above the game";
    x11.ClickAt(1088 + 88, 16 + 72); // the middle of the picture
    EXPECT_TRUE(game.WaitFor(XCB_BUTTON_PRESS)) << "the click did not reach the game";
    EXPECT_NE(x11.Focus(), Window());
}

TEST_F(FloatingPictureOnX11, AGameRaisedOverThePictureIsCoveredAgain)
{
    StartCall();
    StandInGame game(x11); // mapped after the picture: on top of it
    ASSERT_TRUE(game.WaitFor(XCB_MAP_NOTIFY));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto stacking = x11.Stacking();
            return !stacking.empty() && stacking.back() == Window();
        },
        kDeadlineMs));
}

TEST_F(FloatingPictureOnX11, OpacityIsTheWindowPropertyAndPlacementIsTheServers)
{
    StartCall();
    Save([](OverlaySettings &s) {
        s.transparency = 37;
        s.positionIndex = 4;
        s.posX = -300;
        s.posY = -200;
    });
    EXPECT_TRUE(PlacedAt({980, 824, 176, 144}));
    const auto expected = static_cast<std::uint32_t>(0.63 * 0xFFFFFFFFu);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto opacity = x11.Cardinal(Window(), "_NET_WM_WINDOW_OPACITY");
            return opacity && *opacity > expected - 0x100000 && *opacity < expected + 0x100000;
        },
        kDeadlineMs));
    Save([](OverlaySettings &s) { s.positionIndex = 2; });
    EXPECT_TRUE(PlacedAt({16, 864, 176, 144}));
    Save([](OverlaySettings &s) { s.transparency = 100; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Viewable(); }, kDeadlineMs));
}

TEST_F(FloatingPictureOnX11, TheGrabbedHotKeyTogglesWhateverTheLocksAndIsHeldByOneProgram)
{
    auto grab = CX11GlobalShortcut::Open("");
    ASSERT_TRUE(grab);
    int activations = 0;
    grab->SetActivatedHandler([&] { ++activations; });
    grab->SetHotKey({0x56, 0x06});
    ASSERT_EQ(grab->CurrentState(), IGlobalShortcut::State::Bound);

    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, kDeadlineMs));
    x11.Chord({kKeysymCapsLock}); // Caps Lock on
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 2; }, kDeadlineMs));
    x11.Chord({kKeysymCapsLock});
    x11.Chord({kKeysymControl, kKeysymV}); // not the hot key
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 3; }, kDeadlineMs));
    EXPECT_EQ(activations, 3);

    auto second = CX11GlobalShortcut::Open("");
    second->SetHotKey({0x56, 0x06});
    EXPECT_EQ(second->CurrentState(), IGlobalShortcut::State::Taken);
    second.reset(); // giving up leaves the first program's grab alone
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 4; }, kDeadlineMs));

    grab->SetHotKey({}); // none: the keys go to the focused window again
    EXPECT_EQ(grab->CurrentState(), IGlobalShortcut::State::NoHotKey);
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    auto again = CX11GlobalShortcut::Open("");
    again->SetHotKey({0x56, 0x06});
    EXPECT_EQ(again->CurrentState(), IGlobalShortcut::State::Bound);
    EXPECT_EQ(activations, 4);
}

TEST_F(FloatingPictureOnX11, TheHotKeyHidesAndShowsThePicture)
{
    auto grab = CX11GlobalShortcut::Open("");
    ASSERT_TRUE(grab);
    overlay = std::make_unique<COverlay>(COverlay::Parts{store, grab.get(), desktop.get(), [] { return 1; }, {}});
    StartCall();
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Viewable(); }, kDeadlineMs));
    x11.Chord({kKeysymControl, kKeysymAlt, kKeysymV});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Viewable(); }, kDeadlineMs));
    overlay.reset(); // before the grab it uses
}

} // namespace
} // namespace kestrel::ui::overlay

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // discovery and plain runs: the tests skip themselves
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
