#pragma once

#include "ui/overlay/GlobalShortcut.h"
#include "ui/overlay/HotKeyTranslation.h"
#include "ui/overlay/X11Connection.h"

#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
struct _XCBKeySymbols;

namespace kestrel::ui::overlay {

// The hot key as a passive key grab on the X server's root window, on a
// connection of its own: every keycode that produces the keysym, each with
// the Caps Lock and Num Lock variants of the modifiers. A new keyboard
// mapping is grabbed again. Under XWayland the server sees keys only while
// one of its windows has the focus: made with `focusOnly`, the state says so.
//
// Threads: user-interface thread; the connection's events are read there
// through a socket notifier.
class CX11GlobalShortcut final : public IGlobalShortcut {
public:
    // Null when no X server answers at `displayName` (DISPLAY when empty).
    static std::unique_ptr<CX11GlobalShortcut> Open(const std::string &displayName, bool focusOnly = false);
    ~CX11GlobalShortcut() override;
    CX11GlobalShortcut(const CX11GlobalShortcut &) = delete;
    CX11GlobalShortcut &operator=(const CX11GlobalShortcut &) = delete;

    void SetHotKey(overlaysettings::HotKey hotKey) override;
    State CurrentState() const override { return state; }

    // Reads what the server sent; the notifier calls it, tests may too.
    void ProcessEvents();

private:
    struct KeySymbolsFree {
        void operator()(_XCBKeySymbols *symbols) const;
    };

    CX11GlobalShortcut(XcbConnection connection, int screen, bool focusOnly);
    void Grab();
    void Ungrab();
    std::uint16_t FindNumLockMask();
    void SetState(State newState);

    XcbConnection connection;
    xcb_window_t root = 0;
    bool focusOnly = false;
    std::unique_ptr<_XCBKeySymbols, KeySymbolsFree> keySymbols;
    std::unique_ptr<QSocketNotifier> notifier;
    std::optional<X11HotKey> wanted;
    std::vector<xcb_keycode_t> grabbedKeycodes;
    std::uint16_t numLockMask = 0;
    HotKeyRepeatFilter repeats;
    State state = State::NoHotKey;
};

} // namespace kestrel::ui::overlay
