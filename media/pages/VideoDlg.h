#pragma once

#include "media/devices/CaptureSources.h"
#include "media/pages/CapturePage.h"
#include "platform/store/AppProfile.h"

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QRadioButton;

namespace kestrel::media::pages {

// The Video page of the options sheet (dialog 133, caption "Video"): whether
// video is sent in a call, the camera's capture size, and the camera with its
// input. Controls carry their resource ids as object names: "1003" the camera
// list, "1006" the camera's inputs, "1004" 176x144, "1005" 352x288, "1013"
// "Enable".
//
// The cameras are listed once, when a camera is first needed (by the page or
// by the graph builder), and again only while none has been found. The
// chosen camera's name and input are kept in the profile's "Settings" as
// "VideoInputDevice" and "VideoInputDeviceIndex" (written on OK), and its
// saved input is routed when the default camera is chosen. Without a camera
// the page clears "Enable" and shows empty lists.
class CVideoDlg : public CCapturePage {
    Q_OBJECT
public:
    static constexpr int kSmallWidth = 176;
    static constexpr int kSmallHeight = 144;
    static constexpr int kLargeWidth = 352;
    static constexpr int kLargeHeight = 288;

    CVideoDlg(const devices::CaptureSources &sources, platform::IProfileStore &store, QWidget *parent = nullptr);
    ~CVideoDlg() override;

    // The capture size of the local preview: 176 x 144 (when the page is
    // made) or 352 x 288. OK sets it from the radio buttons; a call sets it
    // back to 176 x 144.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);

    // The chosen camera, or null while none is chosen.
    std::shared_ptr<ICaptureDevice> ChosenDevice() const { return chosenDevice_; }
    // Chooses the default camera while none is chosen: the one saved as
    // "VideoInputDevice", else the first, with its saved input routed. 0 when
    // a camera has been chosen; 1 when none can be, or one was chosen before.
    int ChooseDefaultDevice();
    // The inputs of the camera shown (or of the default camera just chosen),
    // or null when it has none to choose.
    const crossbar::CCrossbarRouter *Router() const { return router_.get(); }

    void OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    struct VideoDeviceEntry {
        std::string name;
        std::shared_ptr<ICaptureDevice> device;
        int inputIndex = 0; // the input chosen for this camera
    };

    void EnumerateDevices();
    // A new router for devices_[index], replacing the current one.
    void PrepareInputs(int index);
    void FillInputList(int index);
    void OnDeviceSelected(int index);
    void ShowNoDevices();

    devices::CaptureSources sources_;
    platform::AppProfile profile_;
    std::vector<VideoDeviceEntry> devices_;
    std::unique_ptr<crossbar::CCrossbarRouter> router_;
    std::shared_ptr<ICaptureDevice> chosenDevice_; // one of devices_
    QComboBox *deviceList_ = nullptr;
    QComboBox *inputList_ = nullptr;
    QRadioButton *smallSize_ = nullptr;
    QRadioButton *largeSize_ = nullptr;
    int width_ = kSmallWidth;
    int height_ = kSmallHeight;
    bool fillingDeviceList_ = false; // the page, not the user, is changing the selection
};

} // namespace kestrel::media::pages
