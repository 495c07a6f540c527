#pragma once

#include "media/pages/CapturePage.h"

class QComboBox;
class QRadioButton;

namespace kestrel::media::pages {

// The Video page of the options sheet (dialog 133, caption "Video"): whether
// video is sent in a call, the camera's capture size, and the camera with its
// input. Controls carry their resource ids as object names: "1003" the camera
// list, "1006" the camera's inputs, "1004" 176x144, "1005" 352x288, "1013"
// "Enable".
//
// The camera lists are empty and disabled until the page is given the
// capture devices; the size and "Enable" do not depend on them.
class CVideoDlg : public CCapturePage {
    Q_OBJECT
public:
    static constexpr int kSmallWidth = 176;
    static constexpr int kSmallHeight = 144;
    static constexpr int kLargeWidth = 352;
    static constexpr int kLargeHeight = 288;

    explicit CVideoDlg(QWidget *parent = nullptr);

    // The capture size of the local preview: 176 x 144 (when the page is
    // made) or 352 x 288. OK sets it from the radio buttons; a call sets it
    // back to 176 x 144.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);

    void OnInitDialog() override;
    void OnOK() override;

private:
    void ShowDevices();

    QComboBox *deviceList_ = nullptr;
    QComboBox *inputList_ = nullptr;
    QRadioButton *smallSize_ = nullptr;
    QRadioButton *largeSize_ = nullptr;
    int width_ = kSmallWidth;
    int height_ = kSmallHeight;
};

} // namespace kestrel::media::pages
