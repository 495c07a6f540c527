#pragma once

#include "overlaysettings/OverlaySettings.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrel::ui::overlay {

// A rectangle in desktop pixels: top-left corner and size.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

// The entries of the position list, in list order.
enum class OverlayCorner { TopRight = 0, TopLeft = 1, BottomLeft = 2, BottomRight = 3, UserInput = 4 };

// The gap between the floating picture and the screen edges of a corner.
inline constexpr int kOverlayMarginPx = 16;
inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 4;

// The position-list entry a stored "PositionIndex" stands for: none chosen
// (-1) and values the list does not have are Top/Right, the default.
OverlayCorner CornerFromIndex(std::int32_t positionIndex);

// Where the floating picture of a `videoWidth` x `videoHeight` video goes on
// `screen`:
// - size: the video times `zoom` (1..4, others clamped), shrunk with its
//   aspect kept to fit inside the screen;
// - a corner: that corner of the screen, kOverlayMarginPx from both edges;
// - User Input: "PosX"/"PosY" as the top-left corner in the screen's pixels;
//   a negative value counts from the right (bottom) edge, so -300 puts the
//   left edge 300 pixels left of the right edge.
// The picture always lies whole on the screen. An empty video or screen
// gives an empty rectangle.
PixelRect PlaceOverlay(const overlaysettings::OverlaySettings &settings, int videoWidth, int videoHeight, int zoom,
                       const PixelRect &screen);

// Window opacity for "Transparency" in percent: 0 % opaque (1.0), 100 %
// invisible (0.0); values outside 0..100 are clamped.
double OverlayOpacity(std::int32_t transparencyPercent);

// The screen the game is on: the one holding the centre of the focused
// window, else the one it overlaps most, else `primary`. -1 without screens.
int ChooseScreen(const std::vector<PixelRect> &screens, const std::optional<PixelRect> &focusedWindow, int primary);

} // namespace kestrel::ui::overlay
