#pragma once

#include "media/pages/OptionsPage.h"
#include "overlaysettings/OverlaySettings.h"
#include "overlaysettings/PlacementControls.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace kestrel::platform {
class IMessageBox;
class IProfileStore;
} // namespace kestrel::platform

namespace kestrel::overlaysettings {
class HotKeyEdit;
}

namespace kestrel::ui {

// The General page of the options sheet (dialog 132, caption "Kestrel"): the
// overlay renderer's transparency, position and main hot key, and its OSD hot
// key. Loads them from the store each time the sheet shows the page and saves
// them on OK; Cancel saves nothing. Controls carry their resource ids as
// object names: "1011" the transparency slider, "1015" its percentage, "1012"
// the position list, "1014" X, "1013" Y, "1017" the OSD hot key, "1018" its
// "Enable", "1019" the Kestrel hot key; the note about desktop shortcuts is
// "desktopShortcutNote".
//
// Threads: user-interface thread only.
class CGeneralDlg : public media::pages::COptionsPage {
    Q_OBJECT
public:
    CGeneralDlg(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent = nullptr);

    void OnInitDialog() override;
    // Shows, below the hot keys, that this desktop lets no program take a
    // global hot key and that a desktop shortcut should run `command`.
    void ShowDesktopShortcutNote(bool shown, const QString &command);
    bool OnKillActive() override;
    void OnOK() override;

    // The members: what the last opening loaded, with what OK or a click on
    // "Enable" took from the controls since.
    const overlaysettings::OverlaySettings &Settings() const { return settings_; }
    std::int32_t OsdEnable() const { return osdEnable_; }

private:
    void BuildControls();
    // The six profile values, then the OSD hot key from the renderer's D3D key.
    void LoadOverlaySettings();
    // The six profile values, then the OSD hot key to the D3D and OpenGL keys.
    void SaveOverlaySettings();
    // X, Y and the OSD enable flag, in that order; a field that is not an
    // integer stops the transfer there (what follows keeps its member value).
    bool TransferControlsToMembers();
    bool TransferInteger(QLineEdit *edit, std::int32_t &member);
    void OnPositionChanged(int index);
    void OnOsdEnableClicked();

    platform::IProfileStore &store_;
    platform::IMessageBox &messages_;
    overlaysettings::OverlaySettings settings_{};
    std::int32_t osdEnable_ = 0;
    overlaysettings::PlacementControls placement_;
    QSlider *transparencySlider_ = nullptr;
    QLabel *transparencyText_ = nullptr;
    QComboBox *positionList_ = nullptr;
    QLineEdit *xEdit_ = nullptr;
    QLineEdit *yEdit_ = nullptr;
    overlaysettings::HotKeyEdit *osdHotKey_ = nullptr;
    QCheckBox *osdEnableBox_ = nullptr;
    overlaysettings::HotKeyEdit *mainHotKey_ = nullptr;
    QLabel *desktopShortcutNote_ = nullptr;
};

} // namespace kestrel::ui
