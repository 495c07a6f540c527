#pragma once

#include "call/IOptionsSheet.h"
#include "media/CapturePages.h"
#include "media/devices/CaptureSources.h"

#include <QDialog>

#include <array>

class QTabWidget;

namespace kestrel::platform {
class IMessageBox;
class IProfileStore;
} // namespace kestrel::platform

namespace kestrel::media::pages {
class CAudioDlg;
class COptionsPage;
class CVideoDlg;
} // namespace kestrel::media::pages

namespace kestrel::ui {

class CGeneralDlg;

// The program's settings window, "Kestrel Options": a modal sheet with the
// pages General, Video and Audio, and OK and Cancel. The pages are made with
// the sheet and live as long as it does, so their members keep their values
// from one opening to the next; every opening starts on General. Leaving a
// page, and OK, first let the page check its fields: a refusal keeps the
// sheet open on that page. OK then confirms, and Cancel (Esc, closing the
// window) abandons, every page shown in this opening.
//
// Object names: "32776" the sheet, "12320" its tabs, "1" OK, "2" Cancel.
//
// The Video and Audio pages take their cameras, inputs and recording level
// from `sources` (the program passes media::devices::CSystemDevices'); a
// sheet made without them is that of a machine with no camera, microphone
// or mixer.
//
// Threads: user-interface thread, except GetMediaMask and the Enable members
// it reads, which the call listener uses as well.
class COptions : public QDialog, public call::IOptionsSheet, public media::ICapturePages {
    Q_OBJECT
public:
    COptions(platform::IProfileStore &store, platform::IMessageBox &messages,
             const media::devices::CaptureSources &sources, QWidget *parent = nullptr);
    COptions(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent = nullptr);

    // call::IOptionsSheet
    void ShowModal() override;
    int GetMediaMask() override;

    // media::ICapturePages
    bool VideoEnabled() const override;
    bool AudioEnabled() const override;
    void GetVideoSize(int &width, int &height) const override;
    void SetVideoSize(int width, int height) override;
    std::shared_ptr<media::ICaptureDevice> ChosenCamera() const override;
    int ChooseDefaultVideoDevice() override;
    std::shared_ptr<media::ICaptureDevice> ChosenMicrophone() const override;
    int ChooseDefaultAudioDevice() override;

    CGeneralDlg &GeneralPage() const { return *general_; }
    media::pages::CVideoDlg &VideoPage() const { return *video_; }
    media::pages::CAudioDlg &AudioPage() const { return *audio_; }

    // Showing the sheet begins an opening: General in front, no page shown yet.
    void setVisible(bool visible) override;

public slots:
    void accept() override;
    void reject() override;

private:
    void BeginOpening();
    void OnCurrentChanged(int index);
    void ShowPage(int index);

    QTabWidget *tabs_ = nullptr;
    CGeneralDlg *general_ = nullptr;
    media::pages::CVideoDlg *video_ = nullptr;
    media::pages::CAudioDlg *audio_ = nullptr;
    std::array<media::pages::COptionsPage *, 3> pages_{};
    std::array<bool, 3> shownThisOpening_{};
    int current_ = 0;
    bool switchingPages_ = false; // the sheet itself is moving the tabs
};

} // namespace kestrel::ui
