#pragma once

#include "media/pages/OptionsPage.h"

#include <QComboBox>
#include <QScopedValueRollback>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

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

// Fills `list` with the entries' names in their order and selects the entry
// holding `chosen` (the first when none does); `filling` is set meanwhile, so
// the list's change handler knows the page itself is at work. Returns the
// selection.
template <typename Entry, typename Device>
int ListDeviceEntries(QComboBox &list, const std::vector<Entry> &entries, const Device &chosen, bool &filling)
{
    const QScopedValueRollback fillingList(filling, true);
    int selection = 0;
    list.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        list.addItem(QString::fromStdString(entries[i].name));
        if (entries[i].device == chosen)
            selection = static_cast<int>(i);
    }
    list.setCurrentIndex(selection);
    list.setEnabled(true);
    return selection;
}

} // namespace kestrel::media::pages
