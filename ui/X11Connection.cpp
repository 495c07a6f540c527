#include "ui/X11Connection.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace kestrel::ui {

void XcbDisconnect::operator()(xcb_connection_t *connection) const
{
    xcb_disconnect(connection);
}

XcbConnection ConnectToDisplay()
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    XcbConnection connection(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(connection.get()))
        return nullptr;
    return connection;
}

} // namespace kestrel::ui
