#pragma once

#include "overlaysettings/OverlaySettings.h"
#include "overlaysettings/PlacementControls.h"

#include <QDialog>
#include <QIcon>

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

// The one window of KestrelSetting: edits the six overlay profile values
// without the main program. Loads them when built, saves them on OK, saves
// nothing on Cancel. Controls carry their resource ids as object names
// ("1008" the slider, "1017" its percentage, "1009" the position list, "1011"
// X, "1010" Y, "1021" the hot key, "1" OK, "2" Cancel).
class KestrelSettingDialog : public QDialog {
    Q_OBJECT
public:
    KestrelSettingDialog(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent = nullptr);

    const OverlaySettings &Settings() const { return settings_; }

public slots:
    void accept() override;
    void ShowAbout();

private:
    void BuildControls();
    void ShowSettings();
    void OnTransparencyChanged(int percent);
    void OnPositionChanged(int index);
    bool TransferControlsToMembers();
    bool TransferInteger(QLineEdit *edit, std::int32_t &member);

    platform::IProfileStore &store_;
    platform::IMessageBox &messages_;
    QIcon icon_;
    OverlaySettings settings_{};
    PlacementControls placement_;
    QSlider *transparencySlider_ = nullptr;
    QLabel *transparencyText_ = nullptr;
    QComboBox *positionList_ = nullptr;
    QLineEdit *xEdit_ = nullptr;
    QLineEdit *yEdit_ = nullptr;
    HotKeyEdit *hotKeyEdit_ = nullptr;
};

// "About ORVA Kestrel Setting": the icon, the program's name and version, OK.
class AboutKestrelSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutKestrelSettingDialog(const QIcon &icon, QWidget *parent = nullptr);
};

// The program's icon, from the resources built into the library.
QIcon KestrelSettingIcon();

} // namespace kestrel::overlaysettings
