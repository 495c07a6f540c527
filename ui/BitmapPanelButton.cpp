#include "ui/BitmapPanelButton.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace kestrel::ui {

CBitmapPanelButton::CBitmapPanelButton(int commandId, QWidget *parent, BitmapLoader loader)
    : QAbstractButton(parent), commandId_(commandId), loader_(std::move(loader))
{
    setObjectName(QString::number(commandId));
    // The button takes the focus itself on a press (see mousePressEvent), so
    // Qt must not hand it over before the press arrives.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    // Space, or a shortcut, on the focused button.
    connect(this, &QAbstractButton::clicked, this, [this] { emit Command(commandId_); });
}

bool CBitmapPanelButton::LoadButtonBitmaps(std::uint16_t normal, std::uint16_t pressed, std::uint16_t hot,
                                           std::uint16_t disabled)
{
    normalBitmap_ = QPixmap();
    pressedBitmap_ = QPixmap();
    hotBitmap_ = QPixmap();
    disabledBitmap_ = QPixmap();
    updateGeometry();

    const auto load = [this](std::uint16_t id, QPixmap &bitmap) {
        bitmap = loader_ ? loader_(id) : QPixmap();
        return !bitmap.isNull();
    };
    if (!load(normal, normalBitmap_))
        return false;
    const std::pair<std::uint16_t, QPixmap *> optional[] = {
        {pressed, &pressedBitmap_}, {hot, &hotBitmap_}, {disabled, &disabledBitmap_}};
    for (const auto &[id, bitmap] : optional) {
        if (id != 0 && !load(id, *bitmap))
            return false;
    }
    return true;
}

const QPixmap &CBitmapPanelButton::BitmapOf(Bitmap which) const
{
    switch (which) {
    case Bitmap::Normal: return normalBitmap_;
    case Bitmap::Pressed: return pressedBitmap_;
    case Bitmap::Hot: return hotBitmap_;
    case Bitmap::Disabled: return disabledBitmap_;
    }
    return normalBitmap_;
}

CBitmapPanelButton::Bitmap CBitmapPanelButton::ChosenBitmap() const
{
    Bitmap chosen = Bitmap::Normal;
    if (focus_ && tracking_ && !hotBitmap_.isNull())
        chosen = Bitmap::Hot;
    if (hot_)
        chosen = hotBitmap_.isNull() ? Bitmap::Normal : Bitmap::Hot;
    if (!isEnabled())
        chosen = Bitmap::Disabled;
    else if (pressed_)
        chosen = Bitmap::Pressed;
    return chosen;
}

QSize CBitmapPanelButton::sizeHint() const
{
    return normalBitmap_.isNull() ? QSize(16, 16) : normalBitmap_.deviceIndependentSize().toSize();
}

bool CBitmapPanelButton::event(QEvent *event)
{
    // A disabled QAbstractButton swallows pointer input. A disabled panel
    // button lets it through to the view, as any disabled control does, so
    // that a press on it can still end on another button.
    if (!isEnabled()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::ContextMenu:
        case QEvent::Wheel:
            return QWidget::event(event);
        default:
            break;
        }
    }
    return QAbstractButton::event(event);
}

void CBitmapPanelButton::paintEvent(QPaintEvent *)
{
    const Bitmap chosen = ChosenBitmap();
    lastChosen_ = chosen;
    const QPixmap &bitmap = BitmapOf(chosen);
    if (bitmap.isNull())
        return; // only the background shows

    // From the left edge, vertically centred: a taller bitmap shows its
    // middle rows, a lower one starts half the difference below the top.
    const QSize size = bitmap.deviceIndependentSize().toSize();
    const QRect r = rect();
    const int width = std::min(r.width(), size.width());
    const int height = std::min(r.height(), size.height());
    const int sourceY = size.height() > r.height() ? (size.height() - r.height()) / 2 : 0;
    const int targetY = size.height() < r.height() ? (r.height() - size.height()) / 2 : 0;
    QPainter painter(this);
    const qreal ratio = bitmap.devicePixelRatio();
    painter.drawPixmap(QRectF(r.left(), r.top() + targetY, width, height), bitmap,
                       QRectF(0, sourceY * ratio, width * ratio, height * ratio));
}

bool CBitmapPanelButton::Inside(const QPointF &position) const
{
    return rect().contains(position.toPoint());
}

void CBitmapPanelButton::Capture(bool leftButtonDown)
{
    tracking_ = true;
    pressed_ = leftButtonDown;
    hot_ = true;
    visual_ = pressed_ ? kVisualPressed : kVisualHot;
    RepaintNow();
}

void CBitmapPanelButton::LetGo()
{
    tracking_ = false;
    visual_ = kVisualNone;
    pressed_ = false;
    hot_ = false;
    RepaintNow();
}

void CBitmapPanelButton::RepaintNow()
{
    repaint();
}

void CBitmapPanelButton::mouseMoveEvent(QMouseEvent *event)
{
    const bool inside = Inside(event->position());
    if (tracking_ && (visual_ != kVisualNone || !inside)) {
        // Holding the capture: nothing to do while the pointer stays on the
        // button; off it, let go. (Leaving with the looks already cleared also
        // lets go: no later move would reach the button to do it.)
        if (!inside)
            LetGo();
        return;
    }
    if (!inside) {
        // A move Qt delivers only because a press began here; the view passes
        // it on to whatever button lies under the pointer.
        event->ignore();
        return;
    }
    Capture(event->buttons().testFlag(Qt::LeftButton));
}

void CBitmapPanelButton::leaveEvent(QEvent *event)
{
    if (tracking_)
        LetGo();
    QAbstractButton::leaveEvent(event);
}

void CBitmapPanelButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
    hot_ = false;
    if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason); // the focus-in shows the pressed look
        return;
    }
    visual_ = kVisualPressed;
    RepaintNow();
}

void CBitmapPanelButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (!Inside(event->position())) {
        // The pointer went elsewhere: this release belongs to what lies there.
        if (tracking_)
            LetGo();
        event->ignore();
        return;
    }
    pressed_ = false;
    hot_ = true;
    if (hasFocus()) {
        visual_ = kVisualHot;
        RepaintNow();
    } else {
        setFocus(Qt::MouseFocusReason);
    }
    emit Command(commandId_);
}

void CBitmapPanelButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
    if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason);
        return;
    }
    visual_ = kVisualPressed;
    RepaintNow();
    visual_ = kVisualNone;
}

void CBitmapPanelButton::focusInEvent(QFocusEvent *event)
{
    focus_ = true;
    hot_ = true;
    visual_ = pressed_ ? kVisualPressed : kVisualHot;
    QAbstractButton::focusInEvent(event);
    RepaintNow();
}

void CBitmapPanelButton::focusOutEvent(QFocusEvent *event)
{
    visual_ = kVisualNone;
    focus_ = false;
    hot_ = false;
    QAbstractButton::focusOutEvent(event);
    RepaintNow();
}

void CBitmapPanelButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    // A disabled button gets no more pointer events, so it lets go now
    // rather than keep a hot or pressed look for when it is enabled again.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && (tracking_ || pressed_ || hot_))
        LetGo();
}

} // namespace kestrel::ui
