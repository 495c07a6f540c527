#pragma once

#include <QDialog>
#include <QPixmap>

namespace kestrel::ui {

// The start-up picture (dialog 177, bitmap 178): borderless, topmost,
// 380 x 240 in the middle of the screen, closing itself after 1.5 s.
class CSplashDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 240;
    static constexpr int kShowMs = 1500;

    explicit CSplashDlg(const QPixmap &picture, QWidget *parent = nullptr);

    // Where the splash goes on a desktop of `desktop` size.
    static QPoint Position(const QSize &desktop);

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace kestrel::ui
