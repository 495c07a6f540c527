#include "ui/overlay/X11Desktop.h"

#include <QSocketNotifier>

namespace kestrel::ui::overlay {

std::unique_ptr<CX11Desktop> CX11Desktop::Open(const std::string &displayName)
{
    int screen = 0;
    XcbConnection connection = ConnectX11(displayName, &screen);
    if (!connection)
        return nullptr;
    return std::unique_ptr<CX11Desktop>(new CX11Desktop(std::move(connection), screen));
}

CX11Desktop::CX11Desktop(XcbConnection x11, int screen)
    : connection(std::move(x11)), root(RootWindow(connection.get(), screen)),
      activeWindowAtom(InternAtom(connection.get(), "_NET_ACTIVE_WINDOW"))
{
    // Several clients may watch the root's substructure (only redirecting it is exclusive).
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection.get(), root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(connection.get());
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection.get()), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { ProcessEvents(); });
}

CX11Desktop::~CX11Desktop() = default;

xcb_window_t CX11Desktop::ActiveWindow()
{
    xcb_connection_t *c = connection.get();
    if (activeWindowAtom != XCB_ATOM_NONE) {
        XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, activeWindowAtom, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (property && property->format == 32 && xcb_get_property_value_length(property.get()) >= 4) {
            const auto window = *static_cast<const xcb_window_t *>(xcb_get_property_value(property.get()));
            if (window != XCB_WINDOW_NONE)
                return window;
        }
    }
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
        focus->focus == root)
        return XCB_WINDOW_NONE;
    return focus->focus;
}

std::optional<PixelRect> CX11Desktop::FocusedWindow()
{
    xcb_connection_t *c = connection.get();
    const xcb_window_t window = ActiveWindow();
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr));
    if (!geometry || !origin)
        return std::nullopt;
    return PixelRect{origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

void CX11Desktop::ProcessEvents()
{
    xcb_connection_t *c = connection.get();
    bool restacked = false;
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        switch (event->response_type & 0x7F) {
        case XCB_CONFIGURE_NOTIFY:
            restacked = restacked || reinterpret_cast<const xcb_configure_notify_event_t *>(event.get())->window != ignored;
            break;
        case XCB_MAP_NOTIFY:
            restacked = restacked || reinterpret_cast<const xcb_map_notify_event_t *>(event.get())->window != ignored;
            break;
        default: break;
        }
    }
    if (xcb_connection_has_error(c))
        notifier->setEnabled(false);
    if (restacked)
        NotifyRestacked();
}

} // namespace kestrel::ui::overlay
