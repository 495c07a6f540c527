#include "ui/overlay/OverlayWindow.h"

#include <QGuiApplication>
#include <QPainter>

namespace kestrel::ui::overlay {

COverlayWindow::COverlayWindow(std::function<QImage()> frameSource)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint),
      frame(std::move(frameSource))
{
    setWindowTitle(QString::fromLatin1(kOverlayWindowTitle));
    setObjectName(QStringLiteral("overlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted each time
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void COverlayWindow::KeepOnTop()
{
    // Only X11 stacks windows of several programs (offscreen has no stacking at all).
    if (isVisible() && QGuiApplication::platformName() == QLatin1String("xcb"))
        raise();
}

void COverlayWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage shown = frame ? frame() : QImage();
    if (shown.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Whole zoom factors repeat pixels, as the view's zoom does (and at a
    // third of the cost of smoothing); a picture shrunk to fit the screen is smoothed.
    const bool wholeFactor = width() % shown.width() == 0 && height() % shown.height() == 0 &&
                             width() / shown.width() == height() / shown.height();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !wholeFactor);
    painter.drawImage(rect(), shown);
}

} // namespace kestrel::ui::overlay
