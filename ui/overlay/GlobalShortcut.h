#pragma once

#include "overlaysettings/HotKey.h"

#include <functional>

namespace kestrel::ui::overlay {

// A hot key that works while other programs have the focus.
//
// Threads: user-interface thread; the handlers run there too.
class IGlobalShortcut {
public:
    enum class State {
        NoHotKey,  // none set (0/0), or a key without a counterpart here
        Pending,   // asked for; the desktop has not answered yet
        Bound,     // works from anywhere
        FocusOnly, // works only while an X11 window has the focus (XWayland without the portal)
        Taken,     // another program holds the combination
        Unsupported, // nothing here can bind a global hot key
    };

    virtual ~IGlobalShortcut() = default;
    // Replaces the hot key; an empty one binds nothing.
    virtual void SetHotKey(overlaysettings::HotKey hotKey) = 0;
    virtual State CurrentState() const = 0;

    void SetActivatedHandler(std::function<void()> handler) { activated = std::move(handler); }
    void SetStateHandler(std::function<void(State)> handler) { stateChanged = std::move(handler); }

protected:
    void NotifyActivated()
    {
        if (activated)
            activated();
    }
    void NotifyState(State state)
    {
        if (stateChanged)
            stateChanged(state);
    }

private:
    std::function<void()> activated;
    std::function<void(State)> stateChanged;
};

// Whether the General page should tell the user to bind a desktop shortcut
// to "kestrel --toggle-overlay": the hot key cannot work from everywhere.
inline bool NeedsDesktopShortcut(IGlobalShortcut::State state)
{
    return state == IGlobalShortcut::State::FocusOnly || state == IGlobalShortcut::State::Unsupported;
}

} // namespace kestrel::ui::overlay
