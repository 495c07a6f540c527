#include "ui/overlay/OverlayPlatform.h"

#include <cstdlib>

namespace kestrel::ui::overlay {

namespace {

std::string Variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

DisplayEnvironment DisplayEnvironment::FromProcess()
{
    return {Variable("QT_QPA_PLATFORM"), Variable("XDG_SESSION_TYPE"), Variable("WAYLAND_DISPLAY"),
            Variable("DISPLAY")};
}

bool IsWaylandSession(const DisplayEnvironment &environment)
{
    return !environment.waylandDisplay.empty() || environment.sessionType == "wayland";
}

bool ShouldRunOnXWayland(const DisplayEnvironment &environment)
{
    return environment.qpaPlatform.empty() && IsWaylandSession(environment) && !environment.x11Display.empty();
}

void PrepareOverlayPlatform()
{
    if (ShouldRunOnXWayland(DisplayEnvironment::FromProcess()))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
}

bool OverlayAvailableOn(const std::string &platformName)
{
    return platformName == "xcb" || platformName == "offscreen";
}

} // namespace kestrel::ui::overlay
