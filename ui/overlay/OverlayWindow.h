#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace kestrel::ui::overlay {

// The title of the floating picture's window, by which tools find it.
inline constexpr const char *kOverlayWindowTitle = "ORVA Video3D Renderer";

// The floating picture: a frameless top-level window above every other,
// outside the task bar and the window manager's focus order, that takes no
// input at all (the pointer and the keys go to the window underneath) and
// paints the newest frame scaled to its size.
//
// Threads: user-interface thread.
class COverlayWindow final : public QWidget {
    Q_OBJECT
public:
    // `frame` gives the newest frame at paint time (null: black).
    explicit COverlayWindow(std::function<QImage()> frame);

    // Puts the window above all others again, for desktops that raise a
    // game over it.
    void KeepOnTop();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::function<QImage()> frame;
};

} // namespace kestrel::ui::overlay
