#pragma once

#include "ui/overlay/OverlayPlacement.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrel::ui::overlay {

// What the floating picture needs to know of the other windows: where the
// focused one (the game) is, and when some window was raised or mapped over
// it.
//
// Threads: user-interface thread; the handler runs there too.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    // The focused top-level window in desktop pixels; empty when none has
    // the focus or the desktop does not tell.
    virtual std::optional<PixelRect> FocusedWindow() = 0;
    // Restacking of window `id` (the picture's own) is no news.
    virtual void IgnoreWindow(std::uint32_t id) = 0;

    void SetRestackHandler(std::function<void()> handler) { restacked = std::move(handler); }

protected:
    void NotifyRestacked()
    {
        if (restacked)
            restacked();
    }

private:
    std::function<void()> restacked;
};

} // namespace kestrel::ui::overlay
