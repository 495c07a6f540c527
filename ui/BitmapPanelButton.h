#pragma once

#include "ui/PanelBitmaps.h"

#include <QAbstractButton>
#include <QPixmap>

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrel::ui {

// A panel button drawn entirely from bitmaps: normal, pressed, hot (pointer
// over it or keyboard focus) and disabled, each possibly absent.
//
// It follows the pointer the way a button holding the mouse capture does:
// the first move over it "captures" (the tracking flag), and it lets go when
// the pointer leaves. A left-button release on it sends Command(id), also
// when the press began elsewhere: the view hands such moves and releases to
// the button under the pointer (CCorvidView). A release outside sends nothing.
// Space on the focused button sends the command too.
//
// Threads: user-interface thread only.
class CBitmapPanelButton : public QAbstractButton {
    Q_OBJECT

public:
    using BitmapLoader = std::function<QPixmap(int id)>;

    enum class Bitmap { Normal, Pressed, Hot, Disabled };

    // Visual states.
    static constexpr int kVisualNone = 0;
    static constexpr int kVisualPressed = 1;
    static constexpr int kVisualHot = 2;

    // `commandId` is also the control id; `loader` gives the bitmaps by id.
    explicit CBitmapPanelButton(int commandId, QWidget *parent = nullptr, BitmapLoader loader = LoadBitmap);

    // Drops all four bitmaps, then loads normal (required) and each other one
    // whose id is not 0. The first load that fails returns false at once: the
    // bitmaps loaded before it stay, the later ones stay absent.
    bool LoadButtonBitmaps(std::uint16_t normal, std::uint16_t pressed, std::uint16_t hot, std::uint16_t disabled);

    int CommandId() const { return commandId_; }

    bool IsHot() const { return hot_; }
    bool HasFocusFlag() const { return focus_; }
    bool IsPressed() const { return pressed_; }
    bool IsTracking() const { return tracking_; }
    int VisualState() const { return visual_; }

    bool HasBitmap(Bitmap which) const { return !BitmapOf(which).isNull(); }
    // What a paint would choose now; the chosen one may be absent (nothing drawn).
    Bitmap ChosenBitmap() const;
    // What the last paint chose; empty before the first paint.
    std::optional<Bitmap> LastChosen() const { return lastChosen_; }

    QSize sizeHint() const override;

signals:
    void Command(int id);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    const QPixmap &BitmapOf(Bitmap which) const;
    bool Inside(const QPointF &position) const;
    void Capture(bool leftButtonDown);
    void LetGo();
    void RepaintNow();

    const int commandId_;
    BitmapLoader loader_;
    QPixmap normalBitmap_;
    QPixmap pressedBitmap_;
    QPixmap hotBitmap_;
    QPixmap disabledBitmap_;

    bool hot_ = false;
    bool focus_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
    int visual_ = kVisualNone;
    std::optional<Bitmap> lastChosen_;
};

} // namespace kestrel::ui
