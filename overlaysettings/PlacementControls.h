#pragma once

#include "overlaysettings/OverlaySettings.h"

#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

namespace kestrel::overlaysettings {

// The "Transparency" and "Position" groups that both overlay dialogs show
// (the General page of the options sheet and KestrelSetting), each with its
// own control ids.
struct PlacementControls {
    QGroupBox *transparencyGroup = nullptr;
    QSlider *slider = nullptr;     // 0..100, page 10, a tick every 10
    QLabel *percentage = nullptr;  // the slider's value, "%d%%"
    QGroupBox *positionGroup = nullptr;
    QComboBox *positionList = nullptr; // "Top/Right" ... "User Input"
    QLineEdit *x = nullptr;        // digits with a leading minus sign
    QLineEdit *y = nullptr;
};

// Object names of the controls: the dialog's control ids.
struct PlacementControlIds {
    const char *slider;
    const char *percentage;
    const char *positionList;
    const char *x;
    const char *y;
};

PlacementControls MakePlacementControls(QWidget *parent, const PlacementControlIds &ids);

// "37%".
QString PercentText(int percent);

// Shows stored values: X and Y, the slider (a value beyond 0..100 shows as
// the end it will be saved as) and its percentage, the position (none when
// the index is out of range). The slider's signals are not blocked.
void ShowPlacement(const PlacementControls &controls, const OverlaySettings &settings);

} // namespace kestrel::overlaysettings
