#pragma once

#include <string>
#include <vector>

namespace kestrel::call {

// The control panel as the document drives it: the call-history box, the
// two buttons that follow the call's state, and the Local Play/Stop look.
//
// Threads: user-interface thread only.
class ICallPanel {
public:
    virtual ~ICallPanel() = default;

    // The edit text of the call-history box (control 1001).
    virtual std::string AddressText() const = 0;
    virtual void SetAddressText(const std::string &text) = 0;
    // Empties the box, its edit field included, and lists `names` in order.
    virtual void SetCallHistory(const std::vector<std::string> &names) = 0;
    // Selects list item `index`, whose text goes into the edit field; -1 selects none.
    virtual void SelectCallHistoryItem(int index) = 0;

    // Enables or disables the panel button of `commandId` (New Call, Local Play/Stop).
    virtual void EnableButton(int commandId, bool enable) = 0;
    // While a call is being set up: the wait cursor, and no input to the
    // panel except End Call; the window keeps painting.
    virtual void ShowBusy(bool busy) = 0;

    virtual void ShowPlayButtonStopped() = 0;
    virtual void ShowPlayButtonPlaying() = 0;

    // The zoom or the capture size changed: lay the panel out again.
    virtual void UpdateView() = 0;
    // Repaints the whole view, background included.
    virtual void Repaint() = 0;
};

// What the view reads of the document to size itself.
struct VideoLayout {
    int width = 176;  // capture width in pixels
    int height = 144; // capture height
    int zoom = 1;     // display factor 1 to 4
};

} // namespace kestrel::call
