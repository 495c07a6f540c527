#pragma once

#include <memory>

namespace kestrel::ui {

// The keyboard's lock lights, shown in the status bar's last three panes.
struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

class ILockKeySource {
public:
    virtual ~ILockKeySource() = default;
    virtual LockKeys Read() = 0;
};

// The X11 keyboard's LEDs (1 Caps Lock, 2 Num Lock, 3 Scroll Lock); null
// where there is no X display. Elsewhere the panes stay empty.
std::unique_ptr<ILockKeySource> OpenX11LockKeys();

} // namespace kestrel::ui
