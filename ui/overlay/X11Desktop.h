#pragma once

#include "ui/overlay/Desktop.h"
#include "ui/overlay/X11Connection.h"

#include <memory>
#include <string>

class QSocketNotifier;

namespace kestrel::ui::overlay {

// The X11 desktop on a connection of its own: the focused window from the
// window manager's _NET_ACTIVE_WINDOW (the input focus without one), and
// restacking from the root window's SubstructureNotify events.
//
// Threads: user-interface thread (a socket notifier reads the events).
class CX11Desktop final : public IDesktop {
public:
    // Null when no X server answers at `displayName` (DISPLAY when empty).
    static std::unique_ptr<CX11Desktop> Open(const std::string &displayName);
    ~CX11Desktop() override;
    CX11Desktop(const CX11Desktop &) = delete;
    CX11Desktop &operator=(const CX11Desktop &) = delete;

    std::optional<PixelRect> FocusedWindow() override;
    void IgnoreWindow(std::uint32_t id) override { ignored = id; }

    void ProcessEvents();

private:
    CX11Desktop(XcbConnection connection, int screen);
    xcb_window_t ActiveWindow();

    XcbConnection connection;
    xcb_window_t root = 0;
    xcb_atom_t activeWindowAtom = XCB_ATOM_NONE;
    std::unique_ptr<QSocketNotifier> notifier;
    std::uint32_t ignored = 0;
};

} // namespace kestrel::ui::overlay
