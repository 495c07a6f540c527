#pragma once

#include <string>
#include <vector>

namespace kestrel::outsidefilters {

// The desktop the program shows its windows on, as the environment says.
struct DisplayEnvironment {
  bool wayland = false;  // WAYLAND_DISPLAY is set
  bool x11 = false;      // DISPLAY is set (XWayland included)
};
DisplayEnvironment DisplayEnvironmentOfProcess();

// The video sinks worth trying on that desktop, best first; each may still
// fail to open (no such display, no XVideo), and with none left the caller
// consumes the video without showing it. Sinks that take over the console
// (kmssink) or need a framebuffer (dfbvideosink) are never tried.
std::vector<std::string> VideoSinkCandidates(const DisplayEnvironment& environment);

}  // namespace kestrel::outsidefilters
