#pragma once

#include "media/devices/CaptureSources.h"
#include "media/pages/CapturePage.h"

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QSlider;

namespace kestrel::media::pages {

// The Audio page of the options sheet (dialog 134, caption "Audio"): whether
// audio is sent in a call, the microphone and its recording level. Controls
// carry their resource ids as object names: "1007" the microphone list,
// "1008" "Enable", "1010" the level slider (0..100) in "Record Volume".
//
// The microphones are listed when one is first needed and again only while
// none has been found; the first is the default, and nothing about the
// choice is stored. The level is that of the microphone on mixer device 0,
// whichever microphone is listed: the slider sets it while it is dragged,
// and is disabled when the mixer has no level to show. Without a microphone
// the page clears "Enable" and shows an empty list.
class CAudioDlg : public CCapturePage {
    Q_OBJECT
public:
    explicit CAudioDlg(const devices::CaptureSources &sources, QWidget *parent = nullptr);
    ~CAudioDlg() override;

    // The chosen microphone, or null while none is chosen.
    std::shared_ptr<ICaptureDevice> ChosenDevice() const { return chosenDevice_; }
    // Chooses the first microphone while none is chosen and makes it the
    // recording source. 0 when a microphone has been chosen; 1 when none
    // can be, or one was chosen before.
    int ChooseDefaultDevice();
    // Reads the level into the slider and makes the microphone the recording source.
    void RefreshRecordLevel();

    void OnInitDialog() override;
    void OnOK() override;

private:
    struct AudioDeviceEntry {
        std::string name;
        std::shared_ptr<ICaptureDevice> device;
    };

    void EnumerateDevices();
    void OnDeviceSelected(int index);
    void OnSliderMoved(int percent);

    devices::CaptureSources sources_;
    std::vector<AudioDeviceEntry> devices_;
    std::shared_ptr<ICaptureDevice> chosenDevice_; // one of devices_
    QComboBox *deviceList_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    bool fillingControls_ = false; // the page, not the user, is changing the list or the slider
};

} // namespace kestrel::media::pages
