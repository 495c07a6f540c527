#include "ui/overlay/X11GlobalShortcut.h"

#include <QSocketNotifier>

#include <xcb/xcb_keysyms.h>
// xkb.h names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>

namespace kestrel::ui::overlay {

namespace {

constexpr std::uint32_t kKeysymNumLock = 0xFF7F;
constexpr std::uint8_t kBadAccess = 10; // the combination is grabbed by another client

// Asks the server to repeat a held key as presses only; false where it cannot.
bool UseDetectableAutoRepeat(xcb_connection_t *connection)
{
    XcbReply<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!xkb || !xkb->supported)
        return false;
    const uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    XcbReply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
        connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0), nullptr));
    return flags && (flags->value & flag);
}

} // namespace

void CX11GlobalShortcut::KeySymbolsFree::operator()(_XCBKeySymbols *symbols) const
{
    xcb_key_symbols_free(symbols);
}

std::unique_ptr<CX11GlobalShortcut> CX11GlobalShortcut::Open(const std::string &displayName, bool focusOnly)
{
    int screen = 0;
    XcbConnection connection = ConnectX11(displayName, &screen);
    if (!connection)
        return nullptr;
    return std::unique_ptr<CX11GlobalShortcut>(new CX11GlobalShortcut(std::move(connection), screen, focusOnly));
}

CX11GlobalShortcut::CX11GlobalShortcut(XcbConnection x11, int screen, bool focusOnlyGrab)
    : connection(std::move(x11)), root(RootWindow(connection.get(), screen)), focusOnly(focusOnlyGrab),
      keySymbols(xcb_key_symbols_alloc(connection.get()))
{
    repeats.SetPairedRepeats(!UseDetectableAutoRepeat(connection.get()));
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection.get()), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { ProcessEvents(); });
}

CX11GlobalShortcut::~CX11GlobalShortcut()
{
    notifier.reset();
    Ungrab();
    xcb_flush(connection.get());
}

void CX11GlobalShortcut::SetHotKey(overlaysettings::HotKey hotKey)
{
    Ungrab();
    wanted = ToX11HotKey(hotKey);
    Grab();
}

void CX11GlobalShortcut::SetState(State newState)
{
    if (state == newState)
        return;
    state = newState;
    NotifyState(state);
}

std::uint16_t CX11GlobalShortcut::FindNumLockMask()
{
    xcb_connection_t *c = connection.get();
    XcbReply<xcb_keycode_t> numLockCodes(xcb_key_symbols_get_keycode(keySymbols.get(), kKeysymNumLock));
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!numLockCodes || !mapping)
        return 0;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = keycodes[modifier * perModifier + i];
            for (const xcb_keycode_t *n = numLockCodes.get(); code != 0 && *n != XCB_NO_SYMBOL; ++n)
                if (*n == code)
                    return static_cast<std::uint16_t>(1u << modifier);
        }
    }
    return 0;
}

void CX11GlobalShortcut::Grab()
{
    repeats.Reset();
    if (!wanted) {
        SetState(State::NoHotKey);
        return;
    }
    xcb_connection_t *c = connection.get();
    numLockMask = FindNumLockMask();
    XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(keySymbols.get(), wanted->keysym));
    std::vector<xcb_keycode_t> keycodes;
    for (const xcb_keycode_t *code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code)
        if (std::find(keycodes.begin(), keycodes.end(), *code) == keycodes.end())
            keycodes.push_back(*code);
    if (keycodes.empty()) {
        SetState(State::NoHotKey); // this keyboard has no such key
        return;
    }
    bool taken = false;
    for (xcb_keycode_t code : keycodes) {
        for (std::uint16_t mask : GrabVariants(wanted->modifiers, numLockMask)) {
            XcbReply<xcb_generic_error_t> error(xcb_request_check(
                c, xcb_grab_key_checked(c, 1, root, mask, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
            taken = taken || (error && error->error_code == kBadAccess);
        }
    }
    grabbedKeycodes = keycodes;
    if (taken) {
        Ungrab(); // half a hot key would work only with some lock states
        SetState(State::Taken);
        return;
    }
    SetState(focusOnly ? State::FocusOnly : State::Bound);
}

void CX11GlobalShortcut::Ungrab()
{
    if (!wanted)
        return;
    xcb_connection_t *c = connection.get();
    // Only this client's own grabs are released; another's stay.
    for (xcb_keycode_t code : grabbedKeycodes)
        for (std::uint16_t mask : GrabVariants(wanted->modifiers, numLockMask))
            xcb_ungrab_key(c, code, root, mask);
    grabbedKeycodes.clear();
    xcb_flush(c);
}

void CX11GlobalShortcut::ProcessEvents()
{
    xcb_connection_t *c = connection.get();
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        switch (event->response_type & 0x7F) {
        case XCB_KEY_PRESS: {
            const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event.get());
            const bool ours = wanted && std::find(grabbedKeycodes.begin(), grabbedKeycodes.end(), press->detail) !=
                                            grabbedKeycodes.end();
            if (ours && MatchesModifiers(press->state, wanted->modifiers, numLockMask) && repeats.Press(press->time))
                NotifyActivated();
            break;
        }
        case XCB_KEY_RELEASE: {
            const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event.get());
            if (std::find(grabbedKeycodes.begin(), grabbedKeycodes.end(), release->detail) != grabbedKeycodes.end())
                repeats.Release(release->time);
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            auto *mapping = reinterpret_cast<xcb_mapping_notify_event_t *>(event.get());
            if (mapping->request == XCB_MAPPING_POINTER)
                break;
            Ungrab(); // with the old keycodes and lock mask
            xcb_refresh_keyboard_mapping(keySymbols.get(), mapping);
            Grab();
            break;
        }
        default: break;
        }
    }
    if (xcb_connection_has_error(c)) {
        notifier->setEnabled(false); // the server went away
        grabbedKeycodes.clear();
        SetState(State::Unsupported);
    }
    xcb_flush(c);
}

} // namespace kestrel::ui::overlay
