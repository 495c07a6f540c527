#pragma once

#include <QWidget>

namespace kestrel::media::pages {

// One page of the options sheet. The page lives as long as the sheet, so its
// members keep their values from one opening to the next; its caption
// (windowTitle) is its tab title. For each opening the sheet calls:
// OnInitDialog the first time the page is shown, OnKillActive when the user
// leaves the page and before OK, then OnOK or OnCancel on every page that was
// shown. A page never shown in an opening takes part in none of them.
//
// Threads: user-interface thread only, unless a page says otherwise.
class COptionsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Fills the controls from the members (and whatever else the page shows).
    virtual void OnInitDialog() = 0;
    // Takes the controls into the members, checking them; false, after telling
    // the user what is wrong, keeps the sheet open on this page.
    virtual bool OnKillActive() { return true; }
    virtual void OnOK() {}
    virtual void OnCancel() {}
};

} // namespace kestrel::media::pages
