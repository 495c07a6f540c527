#pragma once

#include <memory>

struct xcb_connection_t;

namespace kestrel::ui {

struct XcbDisconnect {
    void operator()(xcb_connection_t *connection) const;
};
// A connection to an X server, closed when the owner goes.
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// A connection to the X display that DISPLAY names; null when the variable
// is unset or the server cannot be reached.
XcbConnection ConnectToDisplay();

} // namespace kestrel::ui
