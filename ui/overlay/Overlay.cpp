#include "ui/overlay/Overlay.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestrel::ui::overlay {

namespace {

// Restacking comes in bursts (a game going fullscreen restacks several
// windows): the picture is raised once after them.
constexpr int kRaiseDelayMs = 20;

} // namespace

COverlay::COverlay(Parts overlayParts)
    : parts(std::move(overlayParts)), window(std::make_unique<COverlayWindow>([this] { return tap.LatestFrame(); }))
{
    connect(&tap, &CFrameTap::FrameArrived, this, &COverlay::OnFrame);
    settingsTimer.setInterval(kSettingsPollMs);
    connect(&settingsTimer, &QTimer::timeout, this, [this] {
        ReadSettings();
        Update();
    });
    raiseTimer.setSingleShot(true);
    raiseTimer.setInterval(kRaiseDelayMs);
    connect(&raiseTimer, &QTimer::timeout, this, [this] { window->KeepOnTop(); });
    if (parts.shortcut)
        parts.shortcut->SetActivatedHandler([this] { Toggle(); });
    if (parts.desktop) {
        parts.desktop->IgnoreWindow(static_cast<std::uint32_t>(window->winId()));
        parts.desktop->SetRestackHandler([this] {
            if (window->isVisible() && !raiseTimer.isActive())
                raiseTimer.start();
        });
    }
    ReadSettings(); // binds the hot key
    settingsTimer.start();
}

COverlay::~COverlay()
{
    if (parts.shortcut)
        parts.shortcut->SetActivatedHandler({});
    if (parts.desktop)
        parts.desktop->SetRestackHandler({});
    tap.Attach(nullptr);
}

void COverlay::SetRenderer(GstElement *renderer)
{
    tap.Attach(renderer);
    callUp = renderer != nullptr;
    wanted = true; // every call shows its picture again
    frameSize = QSize();
    Update();
}

COverlay::ToggleResult COverlay::Toggle()
{
    if (!callUp)
        return ToggleResult::NoCall;
    wanted = !wanted;
    Update();
    return wanted ? ToggleResult::Shown : ToggleResult::Hidden;
}

std::string COverlay::ToggleAnswer(ToggleResult result)
{
    switch (result) {
    case ToggleResult::Shown: return "shown";
    case ToggleResult::Hidden: return "hidden";
    case ToggleResult::NoCall: return "no-call";
    }
    return "no-call";
}

void COverlay::ReadSettings()
{
    overlaysettings::LoadOverlaySettings(parts.store, settings);
    const overlaysettings::HotKey hotKey = overlaysettings::MainHotKey(settings);
    if (parts.shortcut && boundHotKey != hotKey) {
        boundHotKey = hotKey;
        parts.shortcut->SetHotKey(hotKey);
    }
}

COverlay::Screens COverlay::CurrentScreens() const
{
    if (parts.screens)
        return parts.screens();
    Screens screens;
    const QList<QScreen *> all = QGuiApplication::screens();
    for (int i = 0; i < all.size(); ++i) {
        const QRect g = all[i]->geometry();
        screens.geometries.push_back({g.x(), g.y(), g.width(), g.height()});
        if (all[i] == QGuiApplication::primaryScreen())
            screens.primary = i;
    }
    return screens;
}

void COverlay::OnFrame()
{
    const QImage frame = tap.LatestFrame();
    if (frame.isNull())
        return;
    if (frame.size() != frameSize) {
        frameSize = frame.size(); // the first frame, or the peer changed its size
        Update();
    }
    if (window->isVisible())
        window->update();
}

void COverlay::Update()
{
    const bool show = callUp && wanted && frameSize.isValid() && OverlayOpacity(settings.transparency) > 0.0;
    if (!show) {
        if (window->isVisible()) {
            window->hide();
            emit VisibilityChanged(false);
        }
        return;
    }
    const Screens screens = CurrentScreens();
    const std::optional<PixelRect> focused = parts.desktop ? parts.desktop->FocusedWindow() : std::nullopt;
    const int screen = ChooseScreen(screens.geometries, focused, screens.primary);
    if (screen < 0)
        return;
    const int zoom = parts.zoom ? parts.zoom() : 1;
    const PixelRect placement = PlaceOverlay(settings, frameSize.width(), frameSize.height(), zoom,
                             screens.geometries[static_cast<std::size_t>(screen)]);
    const QRect geometry(placement.x, placement.y, placement.width, placement.height);
    if (window->geometry() != geometry)
        window->setGeometry(geometry);
    const double opacity = OverlayOpacity(settings.transparency);
    if (!qFuzzyCompare(window->windowOpacity(), opacity))
        window->setWindowOpacity(opacity);
    if (!window->isVisible()) {
        window->show();
        emit VisibilityChanged(true);
    }
    window->KeepOnTop();
}

} // namespace kestrel::ui::overlay
