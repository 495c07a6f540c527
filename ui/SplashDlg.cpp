#include "ui/SplashDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace kestrel::ui {

CSplashDlg::CSplashDlg(const QPixmap &picture, QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("177"));
    setFixedSize(kWidth, kHeight);
    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("178"));
    label->setGeometry(0, 0, kWidth, kHeight);
    label->setPixmap(picture);
    label->setAlignment(Qt::AlignCenter);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(Position(screen->geometry().size()));
}

QPoint CSplashDlg::Position(const QSize &desktop)
{
    return {desktop.width() / 2 - kWidth / 2, desktop.height() / 2 - kHeight / 2};
}

void CSplashDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(kShowMs, this, &QDialog::accept);
}

} // namespace kestrel::ui
