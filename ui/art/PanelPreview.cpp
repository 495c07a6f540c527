// Renders the control panel off screen, as it looks in a frame with menu and
// status bar, so that its pictures can be judged together:
//
//   kestrel-panel-preview <output folder>
//
// writes panel-zoom1.png, panel-zoom2.png (the QCIF picture at 100 % and
// 200 %) and buttons.png (every button in each of its looks, on the panel).

#include "call/CommandIds.h"
#include "ui/BitmapPanelButton.h"
#include "ui/CorvidView.h"

#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>

#include <cstdio>

using namespace kestrel;
using kestrel::ui::CBitmapPanelButton;
using kestrel::ui::CCorvidView;

namespace {

void Send(QWidget *widget, QEvent::Type type, Qt::MouseButtons buttons)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QMouseEvent event(type, centre, widget->mapToGlobal(centre), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Leave(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

// One row per button: normal, hot, pressed, disabled.
QImage ButtonSheet(CCorvidView &view)
{
    const int ids[] = {call::ID_LOCAL_PLAY, call::ID_LOCAL_PLAY, call::ID_OPTION, call::ID_NEW_CALL, call::ID_END_CALL};
    QImage sheet(4 * 134 + 10, 5 * 40 + 10, QImage::Format_RGB32);
    sheet.fill(CCorvidView::kBackground);
    QPainter painter(&sheet);
    for (int row = 0; row < 5; ++row) {
        if (row == 1)
            view.ShowPlayButtonPlaying();
        if (row == 2)
            view.ShowPlayButtonStopped();
        CBitmapPanelButton *button = view.Button(ids[row]);
        auto draw = [&](int column) { painter.drawPixmap(10 + column * 134, 10 + row * 40, button->grab()); };
        draw(0);
        Send(button, QEvent::MouseMove, Qt::NoButton);
        draw(1);
        Leave(button);
        Send(button, QEvent::MouseMove, Qt::LeftButton); // comes back with the button held
        draw(2);
        Leave(button);
        button->setEnabled(false);
        draw(3);
        button->setEnabled(true);
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel-panel-preview <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    call::VideoLayout layout;
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("ORVA - Kestrel"));
    for (const char *menu : {"Call", "Tool", "View", "Help"})
        frame.menuBar()->addMenu(QString::fromLatin1(menu));
    frame.statusBar()->showMessage(QStringLiteral("Ready"));
    auto *view = new CCorvidView({[&] { return layout; }, [&](QSize size) { frame.setFixedSize(size); },
                                  [](CCorvidView &panel) { panel.SetCallHistory({"192.168.0.10", "kestrel-peer"}); },
                                  {}});
    frame.setCentralWidget(view);
    view->OnInitialUpdate();
    view->SelectCallHistoryItem(0);

    bool ok = frame.grab().save(out + QStringLiteral("/panel-zoom1.png"));
    layout.zoom = 2;
    view->UpdateView();
    ok &= frame.grab().save(out + QStringLiteral("/panel-zoom2.png"));
    layout.zoom = 1;
    view->UpdateView();
    ok &= ButtonSheet(*view).save(out + QStringLiteral("/buttons.png"));
    return ok ? 0 : 1;
}
