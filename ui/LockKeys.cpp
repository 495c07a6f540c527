#include "ui/LockKeys.h"

#include "ui/overlay/X11Connection.h"

#include <xcb/xcb.h>


namespace kestrel::ui {

namespace {

using overlay::ConnectX11;
using overlay::XcbConnection;
using overlay::XcbReply;

class X11LockKeys final : public ILockKeySource {
public:
    explicit X11LockKeys(XcbConnection connection) : connection(std::move(connection)) {}

    LockKeys Read() override
    {
        LockKeys keys;
        XcbReply<xcb_get_keyboard_control_reply_t> reply(
            xcb_get_keyboard_control_reply(connection.get(), xcb_get_keyboard_control(connection.get()), nullptr));
        if (!reply)
            return keys;
        keys.capsLock = reply->led_mask & 0x1;
        keys.numLock = reply->led_mask & 0x2;
        keys.scrollLock = reply->led_mask & 0x4;
        return keys;
    }

private:
    XcbConnection connection;
};

} // namespace

std::unique_ptr<ILockKeySource> OpenX11LockKeys()
{
    XcbConnection connection = ConnectX11({});
    if (!connection)
        return nullptr;
    return std::make_unique<X11LockKeys>(std::move(connection));
}

} // namespace kestrel::ui
