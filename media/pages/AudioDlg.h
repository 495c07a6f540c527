#pragma once

#include "media/pages/CapturePage.h"

class QComboBox;
class QSlider;

namespace kestrel::media::pages {

// The Audio page of the options sheet (dialog 134, caption "Audio"): whether
// audio is sent in a call, the microphone and its recording level. Controls
// carry their resource ids as object names: "1007" the microphone list,
// "1008" "Enable", "1010" the level slider (0..100) in "Record Volume".
//
// The microphone list and the slider are empty and disabled until the page
// is given the capture devices and the mixer; "Enable" does not depend on them.
class CAudioDlg : public CCapturePage {
    Q_OBJECT
public:
    explicit CAudioDlg(QWidget *parent = nullptr);

    void OnInitDialog() override;
    void OnOK() override;

private:
    void ShowDevices();

    QComboBox *deviceList_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
};

} // namespace kestrel::media::pages
