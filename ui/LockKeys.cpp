#include "ui/LockKeys.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace kestrel::ui {

namespace {

class X11LockKeys final : public ILockKeySource {
public:
    explicit X11LockKeys(xcb_connection_t *connection) : connection(connection) {}
    ~X11LockKeys() override { xcb_disconnect(connection); }

    LockKeys Read() override
    {
        LockKeys keys;
        xcb_get_keyboard_control_reply_t *reply =
            xcb_get_keyboard_control_reply(connection, xcb_get_keyboard_control(connection), nullptr);
        if (!reply)
            return keys;
        keys.capsLock = reply->led_mask & 0x1;
        keys.numLock = reply->led_mask & 0x2;
        keys.scrollLock = reply->led_mask & 0x4;
        std::free(reply);
        return keys;
    }

private:
    xcb_connection_t *connection;
};

} // namespace

std::unique_ptr<ILockKeySource> OpenX11LockKeys()
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    xcb_connection_t *connection = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<X11LockKeys>(connection);
}

} // namespace kestrel::ui
