#include "ui/RunningInstance.h"

#include "ui/overlay/X11Connection.h"

#include <xcb/xcb.h>


namespace kestrel::ui {

std::optional<std::uint32_t> FindRunningInstance(IWindowList &windows)
{
    for (const IWindowList::Window &window : windows.TopLevelWindows()) {
        const std::string read = window.title.substr(0, kTitleReadLimit);
        if (read.find(kRunningInstanceMark) != std::string::npos) {
            windows.BringToTop(window.id);
            return window.id;
        }
    }
    return std::nullopt;
}

namespace {

using overlay::ConnectX11;
using overlay::XcbConnection;
using overlay::XcbReply;

// Top-level windows of an X11 display, through xcb: the window manager's
// client list where there is one, otherwise the root's children and, for
// managers that put each client in a frame, their children.
class X11WindowList final : public IWindowList {
public:
    explicit X11WindowList(XcbConnection owned) : owner(std::move(owned)), connection(owner.get())
    {
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        clientList = Atom("_NET_CLIENT_LIST");
        wmName = Atom("_NET_WM_NAME");
        utf8String = Atom("UTF8_STRING");
        activeWindow = Atom("_NET_ACTIVE_WINDOW");
    }

    std::vector<Window> TopLevelWindows() override
    {
        std::vector<xcb_window_t> ids = ClientList();
        if (ids.empty()) {
            for (xcb_window_t child : Children(root)) {
                ids.push_back(child);
                for (xcb_window_t grandchild : Children(child))
                    ids.push_back(grandchild);
            }
        }
        std::vector<Window> windows;
        for (xcb_window_t id : ids)
            windows.push_back({id, Title(id)});
        return windows;
    }

    void BringToTop(std::uint32_t id) override
    {
        // Ask the window manager, and raise it directly for desktops without one.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = activeWindow;
        message.data.data32[0] = 2; // from a pager or tool: honoured without user time
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_map_window(connection, id);
        xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(connection);
    }

private:
    xcb_atom_t Atom(const char *name) { return overlay::InternAtom(connection, name); }

    std::vector<xcb_window_t> ClientList()
    {
        std::vector<xcb_window_t> ids;
        if (clientList == XCB_ATOM_NONE)
            return ids;
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, root, clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr));
        if (!reply || reply->format != 32)
            return ids;
        const auto *values = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        ids.assign(values, values + count);
        return ids;
    }

    std::vector<xcb_window_t> Children(xcb_window_t parent)
    {
        XcbReply<xcb_query_tree_reply_t> reply(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr));
        if (!reply)
            return {};
        const xcb_window_t *children = xcb_query_tree_children(reply.get());
        return {children, children + xcb_query_tree_children_length(reply.get())};
    }

    std::string Property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
    {
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
        if (!reply || reply->format != 8)
            return {};
        const char *text = static_cast<const char *>(xcb_get_property_value(reply.get()));
        return std::string(text, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    }

    std::string Title(xcb_window_t window)
    {
        std::string title = wmName == XCB_ATOM_NONE ? std::string() : Property(window, wmName, utf8String);
        return title.empty() ? Property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : title;
    }

    XcbConnection owner;
    xcb_connection_t *connection; // owner's, for the many calls below
    xcb_window_t root = 0;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t wmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
};

} // namespace

std::unique_ptr<IWindowList> OpenX11WindowList()
{
    XcbConnection connection = ConnectX11({});
    if (!connection)
        return nullptr;
    return std::make_unique<X11WindowList>(std::move(connection));
}

} // namespace kestrel::ui
