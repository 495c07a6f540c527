#pragma once

#include "media/pages/OptionsPage.h"

#include <atomic>

class QCheckBox;

namespace kestrel::media::pages {

// A page that says whether its medium is sent in a call: the "Enable" member
// (true when the page is made) and its check box. The call listener reads the
// member when it answers a call and may set it (the media mask), so it is
// atomic; a value set through SetEnable shows in the check box the next time
// the page is shown. The check box reaches the member on OK.
class CCapturePage : public COptionsPage {
    Q_OBJECT
public:
    using COptionsPage::COptionsPage;

    // Any thread.
    bool Enable() const { return enable_.load(); }
    void SetEnable(bool value);

protected:
    // The page's "Enable" check box; set once, by the derived page's constructor.
    void SetEnableBox(QCheckBox *box) { enableBox_ = box; }
    // The member into the check box, and back.
    void ShowEnable();
    void TakeEnable();
    void showEvent(QShowEvent *event) override;

private:
    std::atomic<bool> enable_{true};
    std::atomic<bool> enableSetOutside_{false}; // SetEnable ran since the check box last showed the member
    QCheckBox *enableBox_ = nullptr;
};

} // namespace kestrel::media::pages
