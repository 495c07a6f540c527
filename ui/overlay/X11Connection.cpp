#include "ui/overlay/X11Connection.h"

#include <cstring>

namespace kestrel::ui::overlay {

XcbConnection ConnectX11(const std::string &displayName, int *screenNumber)
{
    int screen = 0;
    XcbConnection connection(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screen));
    if (xcb_connection_has_error(connection.get()))
        return nullptr;
    if (screenNumber)
        *screenNumber = screen;
    return connection;
}

xcb_window_t RootWindow(xcb_connection_t *connection, int screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    return screens.data->root;
}

xcb_atom_t InternAtom(xcb_connection_t *connection, const char *name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace kestrel::ui::overlay
