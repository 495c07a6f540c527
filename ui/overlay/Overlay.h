#pragma once

#include "overlaysettings/OverlaySettings.h"
#include "platform/store/IProfileStore.h"
#include "ui/overlay/Desktop.h"
#include "ui/overlay/FrameTap.h"
#include "ui/overlay/GlobalShortcut.h"
#include "ui/overlay/OverlayPlacement.h"
#include "ui/overlay/OverlayWindow.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel::ui::overlay {

// How often the overlay settings are read again: a change saved by the
// General page or kestrel-setting shows within this time.
inline constexpr int kSettingsPollMs = 500;

// The floating picture of the peer during a call: follows the call's
// renderer, shows its window at the call's first frame and hides it when
// the call ends, places it and sets its opacity from the overlay settings
// (read again every kSettingsPollMs), and shows or hides it on the hot key
// and on Toggle. Every new call shows it again.
//
// Threads: user-interface thread.
class COverlay final : public QObject {
    Q_OBJECT
public:
    struct Screens {
        std::vector<PixelRect> geometries;
        int primary = 0;
    };
    struct Parts {
        platform::IProfileStore &store;
        IGlobalShortcut *shortcut = nullptr; // the hot key; null: none
        IDesktop *desktop = nullptr;         // the focused window and restacking; null: primary screen
        std::function<int()> zoom;           // the view's zoom, 1..4
        std::function<Screens()> screens;    // null: the application's screens
    };
    enum class ToggleResult { Shown, Hidden, NoCall };

    explicit COverlay(Parts parts);
    ~COverlay() override;

    // The call's renderer from the graph builder; null when the call's media stop.
    void SetRenderer(GstElement *renderer);
    // The hot key and `kestrel --toggle-overlay`: hides or shows the picture of the call.
    ToggleResult Toggle();
    // The answer line of the toggle socket for Toggle's result.
    static std::string ToggleAnswer(ToggleResult result);

    COverlayWindow &Window() { return *window; }
    const CFrameTap &Tap() const { return tap; }
    const overlaysettings::OverlaySettings &Settings() const { return settings; }

signals:
    // The window was shown (true) or hidden (false).
    void VisibilityChanged(bool visible);

private:
    void ReadSettings();
    void Update();
    void OnFrame();
    Screens CurrentScreens() const;

    Parts parts;
    CFrameTap tap;
    std::unique_ptr<COverlayWindow> window;
    QTimer settingsTimer;
    QTimer raiseTimer;
    overlaysettings::OverlaySettings settings{};
    std::optional<overlaysettings::HotKey> boundHotKey;
    QSize frameSize;
    bool callUp = false;
    bool wanted = true;
};

} // namespace kestrel::ui::overlay
