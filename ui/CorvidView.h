#pragma once

#include "call/ICallPanel.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QLabel;

namespace kestrel::ui {

class CBitmapPanelButton;

// The main window's only view: the video control and, below it, the control
// panel (Local Play/Stop, Options, New Call, End Call and the call-history
// box). It carries no call logic: a click on a panel button, or a zoom picked
// from the video's context menu, comes out of Command(id) with the same id as
// the menu item, and the document drives the panel through call::ICallPanel.
//
// Every control's object name is its control id ("32778", "1001", "1000", ...).
//
// Threads: user-interface thread only.
class CCorvidView : public QWidget, public call::ICallPanel {
    Q_OBJECT

public:
    // What the view asks of the program around it.
    struct Hooks {
        // The document's video size and zoom. Required.
        std::function<call::VideoLayout()> videoLayout;
        // Sizes the frame (the view's window()) to the outer size given:
        // (W + 60) x (H + 230) for a video of W x H pixels, menu bar, status
        // bar and all. Without it the view makes that the window's fixed size.
        // Either way the view shows the window and raises it afterwards.
        std::function<void(QSize frameSize)> sizeFrame;
        // Fills the call-history box from the recent-call list, at initial update.
        std::function<void(CCorvidView &view)> fillCallHistory;
        // Sends the capture graph's events to the frame, at initial update.
        std::function<void()> directGraphEvents;
    };

    static inline const QColor kBackground{168, 149, 24}; // 0x1895A8 as the panel stores it

    explicit CCorvidView(Hooks hooks, QWidget *parent = nullptr);
    ~CCorvidView() override;

    // Once the frame holds the view: the video control at 176 x 144, the call
    // history, the buttons' bitmaps, the graph events, the layout, the tooltips.
    void OnInitialUpdate();

    // Sizes frame and video control from the document's video size and zoom
    // and places the panel controls below the video.
    void LayoutPanel();

    // Control 1000, which hosts the video widget: whatever is put into it as
    // a child is kept at (0, 0, W, H). Without a child it shows bitmap 152.
    QWidget *VideoControl() const;
    // The panel button of `commandId`, or null.
    CBitmapPanelButton *Button(int commandId) const;
    QComboBox *CallHistoryBox() const { return callHistory_; }
    bool IsBusy() const { return busy_; }

    // call::ICallPanel
    std::string AddressText() const override;
    void SetAddressText(const std::string &text) override;
    void SetCallHistory(const std::vector<std::string> &names) override;
    void SelectCallHistoryItem(int index) override;
    void EnableButton(int commandId, bool enable) override;
    void ShowBusy(bool busy) override;
    void ShowPlayButtonStopped() override;
    void ShowPlayButtonPlaying() override;
    void UpdateView() override;
    void Repaint() override;

signals:
    void Command(int id);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    call::VideoLayout CurrentLayout() const;
    bool PassToButton(QMouseEvent *event);
    void ShowZoomMenu(const QPoint &globalPosition);

    Hooks hooks_;
    CBitmapPanelButton *playButton_;
    CBitmapPanelButton *optionsButton_;
    CBitmapPanelButton *newCallButton_;
    CBitmapPanelButton *endCallButton_;
    QComboBox *callHistory_;
    QWidget *videoControl_;
    QLabel *decoration_;
    std::array<CBitmapPanelButton *, 4> buttons_;
    bool busy_ = false;
    bool passingToButton_ = false;
};

} // namespace kestrel::ui
