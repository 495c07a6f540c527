// overlay_bench: what the floating picture costs and how fast its hot key
// acts, on a real X server (run it under xvfb-run with QT_QPA_PLATFORM=xcb).
//
//   CPU:     the process's CPU time while a live 30 fps call picture (176 x 144)
//            goes to "ORVA Video3D Renderer", without and with the floating
//            picture (at 100 % and 200 %); the difference is the picture's share.
//   hot key: from an XTEST Ctrl+Alt+V to the X server's UnmapNotify/MapNotify
//            of the picture's window, seen on a connection of its own.
//
//   overlay_bench [--quick]     (goals: under 1 % of a core, under 50 ms)
#include "platform/gst/GstRef.h"
#include "platform/store/MemoryProfileStore.h"
#include "ui/overlay/Overlay.h"
#include "ui/overlay/X11Connection.h"
#include "ui/overlay/X11GlobalShortcut.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <gst/gst.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace kestrel;
using namespace kestrel::ui::overlay;

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Per cent of one core the process used while the event loop ran for `ms`.
double CpuPercentOver(int ms)
{
    const double before = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunEventLoopFor(ms);
    return 100.0 * (CpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
}

class Call {
public:
    Call()
    {
        pipeline.reset(gst_parse_launch("videotestsrc is-live=true pattern=ball ! "
                                        "video/x-raw,width=176,height=144,framerate=30/1 ! kestrelvideo3d name=renderer",
                                        nullptr));
        renderer.reset(pipeline ? gst_bin_get_by_name(GST_BIN(pipeline.get()), "renderer") : nullptr);
        if (pipeline)
            gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    }
    ~Call()
    {
        if (pipeline)
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    }
    GstElement *Renderer() const { return renderer.get(); }

private:
    platform::GstRef<GstElement> pipeline;
    platform::GstRef<GstElement> renderer;
};

struct Percentiles {
    double median, p95, max;
};

Percentiles Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[std::min(values.size() - 1, values.size() * 95 / 100)], values.back()};
}

// Sends keys through XTEST and waits for the picture's window to map or unmap.
class HotKeyProbe {
public:
    explicit HotKeyProbe(xcb_window_t picture) : x11(ConnectX11("")), window(picture)
    {
        symbols = xcb_key_symbols_alloc(x11.get());
        const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(x11.get(), window, XCB_CW_EVENT_MASK, &events);
        xcb_flush(x11.get());
        notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x11.get()), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { Read(); });
    }
    ~HotKeyProbe() { xcb_key_symbols_free(symbols); }

    // Milliseconds from the key press to the window's change; negative on time-out.
    double PressAndWait()
    {
        changed = false;
        QElapsedTimer timer;
        timer.start();
        for (std::uint32_t keysym : {0xFFE3u, 0xFFE9u, 0x76u})
            Fake(XCB_KEY_PRESS, keysym);
        for (std::uint32_t keysym : {0x76u, 0xFFE9u, 0xFFE3u})
            Fake(XCB_KEY_RELEASE, keysym);
        xcb_flush(x11.get());
        QEventLoop loop;
        quit = [&loop] { loop.quit(); };
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        if (!changed)
            loop.exec();
        quit = nullptr;
        return changed ? timer.nsecsElapsed() / 1e6 : -1.0;
    }

private:
    void Fake(uint8_t type, std::uint32_t keysym)
    {
        ui::overlay::XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
        if (codes)
            xcb_test_fake_input(x11.get(), type, codes.get()[0], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    void Read()
    {
        while (ui::overlay::XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(x11.get())}) {
            const int type = event->response_type & 0x7F;
            if (type == XCB_MAP_NOTIFY || type == XCB_UNMAP_NOTIFY) {
                changed = true;
                if (quit)
                    quit();
            }
        }
    }

    XcbConnection x11;
    xcb_window_t window;
    xcb_key_symbols_t *symbols = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> quit;
    bool changed = false;
};

} // namespace

int main(int argc, char **argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    setenv("GST_PLUGIN_PATH_1_0", KESTREL_BENCH_PLUGIN_DIR, 1);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fputs("overlay_bench: needs an X server and QT_QPA_PLATFORM=xcb (xvfb-run)\n", stderr);
        return 1;
    }
    const int measureMs = quick ? 1000 : 10000;
    const int presses = quick ? 6 : 100;

    platform::MemoryProfileStore store;
    auto grab = CX11GlobalShortcut::Open("");
    int zoom = 1;
    COverlay overlay({store, grab.get(), nullptr, [&zoom] { return zoom; }, {}});
    Call call;
    if (!call.Renderer()) {
        std::fputs("overlay_bench: no \"ORVA Video3D Renderer\" (kestrelvideo3d)\n", stderr);
        return 1;
    }
    RunEventLoopFor(500); // the pipeline settles
    const double without = CpuPercentOver(measureMs);
    overlay.SetRenderer(call.Renderer());
    RunEventLoopFor(500);
    const quint64 framesBefore = overlay.Tap().FramesTaken();
    const double with = CpuPercentOver(measureMs);
    const double fps = (overlay.Tap().FramesTaken() - framesBefore) / (measureMs / 1000.0);
    zoom = 2;
    RunEventLoopFor(1000); // the next settings read resizes
    const double withZoom = CpuPercentOver(measureMs);
    zoom = 1;
    RunEventLoopFor(1000);
    std::printf("cpu: call alone %.2f %%, with the floating picture %.2f %% (+%.2f %% of a core at %.1f fps), "
                "at 200 %% %.2f %% (+%.2f %%)\n",
                without, with, with - without, fps, withZoom, withZoom - without);

    if (!grab || grab->CurrentState() != IGlobalShortcut::State::Bound || !overlay.Window().isVisible()) {
        std::fputs("overlay_bench: the hot key or the picture is not there\n", stderr);
        return 1;
    }
    HotKeyProbe probe(static_cast<xcb_window_t>(overlay.Window().winId()));
    std::vector<double> hide, show;
    for (int i = 0; i < presses; ++i) {
        const double ms = probe.PressAndWait();
        if (ms < 0) {
            std::fputs("overlay_bench: the hot key did not act within 2 s\n", stderr);
            return 1;
        }
        (i % 2 == 0 ? hide : show).push_back(ms);
    }
    const Percentiles h = Summarise(hide);
    const Percentiles s = Summarise(show);
    std::printf("hot key to hidden: median %.2f ms, 95th %.2f ms, max %.2f ms (%zu presses)\n", h.median, h.p95, h.max,
                hide.size());
    std::printf("hot key to shown:  median %.2f ms, 95th %.2f ms, max %.2f ms (%zu presses)\n", s.median, s.p95, s.max,
                show.size());
    overlay.SetRenderer(nullptr);
    return 0;
}
