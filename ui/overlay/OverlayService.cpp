#include "ui/overlay/OverlayService.h"

#include "ui/overlay/OverlayPlatform.h"
#include "ui/overlay/PortalGlobalShortcut.h"
#include "ui/overlay/X11Desktop.h"
#include "ui/overlay/X11GlobalShortcut.h"

#include <QDBusConnection>
#include <QGuiApplication>

#include <cstdio>

namespace kestrel::ui::overlay {

COverlayService::COverlayService(platform::IProfileStore &store, Settings serviceSettings)
    : settings(std::move(serviceSettings))
{
    const DisplayEnvironment environment = DisplayEnvironment::FromProcess();
    waylandSession = IsWaylandSession(environment);
    const std::string platformName = QGuiApplication::platformName().toStdString();
    const bool onX11 = platformName == "xcb";
    if (waylandSession) {
        std::unique_ptr<IGlobalShortcut> grab =
            onX11 ? CX11GlobalShortcut::Open(environment.x11Display, /*focusOnly=*/true) : nullptr;
        shortcut = std::make_unique<CPortalGlobalShortcut>(QDBusConnection::sessionBus(), std::move(grab));
    } else if (onX11) {
        shortcut = CX11GlobalShortcut::Open(environment.x11Display);
    }
    if (shortcut)
        shortcut->SetStateHandler([this](IGlobalShortcut::State) { ReportShortcutState(); });
    if (onX11)
        desktop = CX11Desktop::Open(environment.x11Display);

    toggleServer = std::make_unique<COverlayToggleServer>([this] {
        return overlay ? COverlay::ToggleAnswer(overlay->Toggle()) : std::string("unavailable");
    });
    if (!toggleServer->Listen(ToggleSocketDirectory(true), settings.bindAddress))
        std::fprintf(stderr, "kestrel: kestrel --toggle-overlay cannot reach this program (no socket for %s)\n",
                     settings.bindAddress.c_str());

    if (!OverlayAvailableOn(platformName)) {
        std::fputs("kestrel: the floating picture needs X11 or XWayland; this session has neither, so the "
                   "peer's picture is shown only in the main window\n",
                   stderr);
        return;
    }
    overlay = std::make_unique<COverlay>(
        COverlay::Parts{store, shortcut.get(), desktop.get(), settings.zoom, {}});
}

COverlayService::~COverlayService()
{
    toggleServer.reset();
    overlay.reset(); // before the shortcut and desktop it uses
}

void COverlayService::SetRenderer(GstElement *renderer)
{
    if (overlay)
        overlay->SetRenderer(renderer);
}

void COverlayService::SetShortcutNoteHandler(std::function<void(bool, const std::string &)> handler)
{
    noteHandler = std::move(handler);
    ReportShortcutState();
}

void COverlayService::ReportShortcutState()
{
    const bool taken = shortcut && shortcut->CurrentState() == IGlobalShortcut::State::Taken;
    if (taken && !reportedTaken)
        std::fputs("kestrel: another program holds the Kestrel hot key; choose another one in the options\n", stderr);
    reportedTaken = taken;
    if (!noteHandler)
        return;
    // Only a Wayland desktop can have no way for a program to take the key.
    const bool needed = waylandSession && (!shortcut || NeedsDesktopShortcut(shortcut->CurrentState()));
    std::string command = "kestrel --toggle-overlay";
    if (settings.bindAddress != "0.0.0.0")
        command += " --bind " + settings.bindAddress;
    noteHandler(needed, command);
}

} // namespace kestrel::ui::overlay
