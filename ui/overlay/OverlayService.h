#pragma once

#include "ui/overlay/Overlay.h"
#include "ui/overlay/OverlayToggle.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrel::ui::overlay {

// Everything the program needs for the floating picture, put together for
// the Qt platform it runs on: the window and its logic, the hot key (the X11
// grab on X11; on Wayland the portal, else the grab under XWayland), the
// desktop watch and the toggle socket of `kestrel --toggle-overlay`.
// Where the picture cannot be shown (neither X11 nor XWayland) it says so
// once on standard error and the program goes on without it.
//
// Threads: user-interface thread.
class COverlayService final {
public:
    struct Settings {
        std::string bindAddress;
        std::function<int()> zoom;
    };
    COverlayService(platform::IProfileStore &store, Settings settings);
    ~COverlayService();
    COverlayService(const COverlayService &) = delete;
    COverlayService &operator=(const COverlayService &) = delete;

    // The graph builder's renderer hook.
    void SetRenderer(GstElement *renderer);
    // Called now and whenever it changes: whether the desktop needs a shortcut
    // bound to `command` because the hot key cannot work from everywhere.
    void SetShortcutNoteHandler(std::function<void(bool needed, const std::string &command)> handler);

    COverlay *Overlay() { return overlay.get(); }

private:
    void ReportShortcutState();

    Settings settings;
    std::unique_ptr<IGlobalShortcut> shortcut;
    std::unique_ptr<IDesktop> desktop;
    std::unique_ptr<COverlay> overlay;
    std::unique_ptr<COverlayToggleServer> toggleServer;
    std::function<void(bool, const std::string &)> noteHandler;
    bool waylandSession = false;
    bool reportedTaken = false;
};

} // namespace kestrel::ui::overlay
