#pragma once

#include <string>

namespace kestrel::ui::overlay {

// The variables that tell which display server the program talks to.
struct DisplayEnvironment {
    std::string qpaPlatform;    // QT_QPA_PLATFORM
    std::string sessionType;    // XDG_SESSION_TYPE
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string x11Display;     // DISPLAY

    static DisplayEnvironment FromProcess();
};

bool IsWaylandSession(const DisplayEnvironment &environment);

// A window can stay above a game and let its input through only on X11; on
// Wayland the program therefore runs on XWayland (where games under Proton
// run too), unless the user chose a Qt platform. True when QT_QPA_PLATFORM
// should be set to "xcb" before the application starts.
bool ShouldRunOnXWayland(const DisplayEnvironment &environment);

// Sets QT_QPA_PLATFORM as ShouldRunOnXWayland says; call before QApplication.
void PrepareOverlayPlatform();

// Whether the floating picture can be shown on Qt platform `platformName`.
bool OverlayAvailableOn(const std::string &platformName);

} // namespace kestrel::ui::overlay
