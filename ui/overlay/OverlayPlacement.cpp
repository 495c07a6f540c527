#include "ui/overlay/OverlayPlacement.h"

#include <algorithm>

namespace kestrel::ui::overlay {

namespace {

// Where a window of `size` starts along one axis of a screen [origin, origin + extent).
int PlaceAlongAxis(std::int64_t offset, int size, int origin, int extent)
{
    // 64-bit: any stored 32-bit value plus the screen's extent stays exact.
    const std::int64_t start = offset >= 0 ? origin + offset : std::int64_t{origin} + extent + offset;
    return static_cast<int>(std::clamp<std::int64_t>(start, origin, std::int64_t{origin} + extent - size));
}

std::int64_t OverlapArea(const PixelRect &a, const PixelRect &b)
{
    const std::int64_t w = std::min<std::int64_t>(std::int64_t{a.x} + a.width, std::int64_t{b.x} + b.width) -
                           std::max(a.x, b.x);
    const std::int64_t h = std::min<std::int64_t>(std::int64_t{a.y} + a.height, std::int64_t{b.y} + b.height) -
                           std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

} // namespace

OverlayCorner CornerFromIndex(std::int32_t positionIndex)
{
    if (positionIndex < 0 || positionIndex > static_cast<std::int32_t>(OverlayCorner::UserInput))
        return OverlayCorner::TopRight;
    return static_cast<OverlayCorner>(positionIndex);
}

PixelRect PlaceOverlay(const overlaysettings::OverlaySettings &settings, int videoWidth, int videoHeight, int zoom,
                       const PixelRect &screen)
{
    if (videoWidth <= 0 || videoHeight <= 0 || screen.IsEmpty())
        return {};
    const int factor = std::clamp(zoom, kMinZoom, kMaxZoom);
    std::int64_t width = std::int64_t{videoWidth} * factor;
    std::int64_t height = std::int64_t{videoHeight} * factor;
    if (width > screen.width || height > screen.height) {
        // Shrink to fit, keeping the picture's aspect; never below one pixel.
        if (width * screen.height > height * screen.width) {
            height = std::max<std::int64_t>(1, height * screen.width / width);
            width = screen.width;
        } else {
            width = std::max<std::int64_t>(1, width * screen.height / height);
            height = screen.height;
        }
    }
    PixelRect placed{0, 0, static_cast<int>(width), static_cast<int>(height)};
    // The margin counts only while the picture and the margin both fit.
    const int marginX = placed.width + 2 * kOverlayMarginPx <= screen.width ? kOverlayMarginPx : 0;
    const int marginY = placed.height + 2 * kOverlayMarginPx <= screen.height ? kOverlayMarginPx : 0;
    const int left = screen.x + marginX;
    const int right = screen.x + screen.width - placed.width - marginX;
    const int top = screen.y + marginY;
    const int bottom = screen.y + screen.height - placed.height - marginY;
    switch (CornerFromIndex(settings.positionIndex)) {
    case OverlayCorner::TopRight: placed.x = right; placed.y = top; break;
    case OverlayCorner::TopLeft: placed.x = left; placed.y = top; break;
    case OverlayCorner::BottomLeft: placed.x = left; placed.y = bottom; break;
    case OverlayCorner::BottomRight: placed.x = right; placed.y = bottom; break;
    case OverlayCorner::UserInput:
        placed.x = PlaceAlongAxis(settings.posX, placed.width, screen.x, screen.width);
        placed.y = PlaceAlongAxis(settings.posY, placed.height, screen.y, screen.height);
        break;
    }
    return placed;
}

double OverlayOpacity(std::int32_t transparencyPercent)
{
    return 1.0 - std::clamp(transparencyPercent, 0, 100) / 100.0;
}

int ChooseScreen(const std::vector<PixelRect> &screens, const std::optional<PixelRect> &focusedWindow, int primary)
{
    if (screens.empty())
        return -1;
    const int fallback = primary >= 0 && primary < static_cast<int>(screens.size()) ? primary : 0;
    if (!focusedWindow || focusedWindow->IsEmpty())
        return fallback;
    const int centreX = static_cast<int>(focusedWindow->x + std::int64_t{focusedWindow->width} / 2);
    const int centreY = static_cast<int>(focusedWindow->y + std::int64_t{focusedWindow->height} / 2);
    for (std::size_t i = 0; i < screens.size(); ++i)
        if (screens[i].Contains(centreX, centreY))
            return static_cast<int>(i);
    int best = fallback;
    std::int64_t bestArea = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const std::int64_t area = OverlapArea(screens[i], *focusedWindow);
        if (area > bestArea) {
            bestArea = area;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace kestrel::ui::overlay
