#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::ui {

// The desktop's top-level windows, as the single-instance test sees them.
class IWindowList {
public:
    struct Window {
        std::uint32_t id = 0;
        std::string title; // UTF-8
    };
    virtual ~IWindowList() = default;
    virtual std::vector<Window> TopLevelWindows() = 0;
    // Brings window `id` to the top of the stacking order.
    virtual void BringToTop(std::uint32_t id) = 0;
};

// The text the test looks for in the titles; Kestrel's own title ends with
// "Kestrel", so a running Kestrel is not found (several run side by side on
// different local addresses).
inline constexpr const char *kRunningInstanceMark = "- Corvid";
// Titles are read into a 255-character buffer: the mark is found only in
// their first 254 characters.
inline constexpr std::size_t kTitleReadLimit = 254;

// Looks for a window whose title holds the mark, brings the first found to
// the top and returns it; the program then exits without a window.
std::optional<std::uint32_t> FindRunningInstance(IWindowList &windows);

// The X11 window list of the display named by DISPLAY; null when there is
// no X display to ask (a Wayland session, or none at all).
std::unique_ptr<IWindowList> OpenX11WindowList();

} // namespace kestrel::ui
