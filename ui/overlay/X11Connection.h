#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace kestrel::ui::overlay {

// One connection to an X server, closed when the holder goes.
struct XcbDisconnect {
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// A reply or error that xcb allocated, freed when the holder goes.
struct XcbFree {
    void operator()(void *memory) const { std::free(memory); }
};
template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

// Connects to `displayName` (DISPLAY when empty); null when no X server answers.
XcbConnection ConnectX11(const std::string &displayName, int *screenNumber = nullptr);
// The root window of screen `screenNumber`.
xcb_window_t RootWindow(xcb_connection_t *connection, int screenNumber);
xcb_atom_t InternAtom(xcb_connection_t *connection, const char *name);

} // namespace kestrel::ui::overlay
