#include "media/pages/CapturePage.h"

#include <QCheckBox>

namespace kestrel::media::pages {

void CCapturePage::SetEnable(bool value)
{
    enable_.store(value);
    enableSetOutside_.store(true);
}

void CCapturePage::ShowEnable()
{
    // Clear the mark before reading, so a set that comes in between is shown next time.
    enableSetOutside_.store(false);
    enableBox_->setChecked(enable_.load());
}

void CCapturePage::TakeEnable()
{
    enable_.store(enableBox_->isChecked());
}

void CCapturePage::showEvent(QShowEvent *event)
{
    if (enableSetOutside_.load())
        ShowEnable();
    COptionsPage::showEvent(event);
}

} // namespace kestrel::media::pages
