#include "ui/CorvidView.h"

#include "call/CommandIds.h"
#include "ui/BitmapPanelButton.h"
#include "ui/PanelBitmaps.h"
#include "ui/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace kestrel::ui {

namespace {

// Where the video control sits; the panel follows below it.
constexpr QPoint kVideoOrigin(11, 10);

// Control 1000 without video: bitmap 152 centred inside a one-pixel border,
// the rest of a larger control in the colour of the bitmap's top left pixel.
// A hosted video widget covers all of it.
class VideoHost final : public QWidget {
public:
    explicit VideoHost(QWidget *parent) : QWidget(parent), picture_(LoadBitmap(IDB_NO_VIDEO))
    {
        setObjectName(QString::number(call::IDC_VIDEO));
        if (!picture_.isNull())
            ground_ = picture_.toImage().pixelColor(0, 0);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect inside = rect().adjusted(1, 1, -1, -1);
        painter.fillRect(inside, ground_);
        if (!picture_.isNull()) {
            const QSize size = picture_.deviceIndependentSize().toSize();
            painter.setClipRect(inside);
            painter.drawPixmap(inside.left() + (inside.width() - size.width()) / 2,
                               inside.top() + (inside.height() - size.height()) / 2, picture_);
            painter.setClipping(false);
        }
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QPixmap picture_;
    QColor ground_ = Qt::black;
};

// The platform's own colours for every role, so that the panel's background
// does not reach the combo box's edit field and list.
QPalette OwnPalette(const QWidget *widget)
{
    QPalette own = QApplication::palette(widget);
    own.setResolveMask(~QPalette::ResolveMask(0));
    return own;
}

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

CCorvidView::CCorvidView(Hooks hooks, QWidget *parent)
    : QWidget(parent),
      hooks_(std::move(hooks)),
      playButton_(new CBitmapPanelButton(call::ID_LOCAL_PLAY, this)),
      optionsButton_(new CBitmapPanelButton(call::ID_OPTION, this)),
      newCallButton_(new CBitmapPanelButton(call::ID_NEW_CALL, this)),
      endCallButton_(new CBitmapPanelButton(call::ID_END_CALL, this)),
      callHistory_(new QComboBox(this)),
      videoControl_(new VideoHost(this)),
      decoration_(new QLabel(this)),
      buttons_{playButton_, optionsButton_, newCallButton_, endCallButton_}
{
    setObjectName(QStringLiteral("101"));
    QPalette panel = palette();
    panel.setColor(QPalette::Window, kBackground);
    setPalette(panel);
    setAutoFillBackground(true);

    for (CBitmapPanelButton *button : buttons_)
        connect(button, &CBitmapPanelButton::Command, this, &CCorvidView::Command);

    callHistory_->setObjectName(QString::number(call::IDC_CALL_HISTORY));
    callHistory_->setEditable(true);
    callHistory_->setInsertPolicy(QComboBox::NoInsert);
    callHistory_->setCompleter(nullptr); // typed text stays as typed
    callHistory_->setPalette(OwnPalette(callHistory_));

    videoControl_->move(kVideoOrigin);
    decoration_->setObjectName(QString::number(call::IDC_DECORATION));
    decoration_->setPixmap(LoadBitmap(IDB_DECORATION));

    // While busy, these take no input; End Call stays usable.
    for (QWidget *control : {static_cast<QWidget *>(playButton_), static_cast<QWidget *>(optionsButton_),
                             static_cast<QWidget *>(newCallButton_), static_cast<QWidget *>(callHistory_),
                             static_cast<QWidget *>(callHistory_->lineEdit()), videoControl_,
                             static_cast<QWidget *>(decoration_)})
        control->installEventFilter(this);
}

CCorvidView::~CCorvidView() = default;

void CCorvidView::OnInitialUpdate()
{
    if (QLayout *frameLayout = window()->layout())
        frameLayout->activate();
    videoControl_->resize(176, 144);
    if (hooks_.fillCallHistory)
        hooks_.fillCallHistory(*this);
    ShowPlayButtonStopped();
    optionsButton_->LoadButtonBitmaps(IDB_OPTIONS, IDB_OPTIONS_PRESSED, IDB_OPTIONS_HOT, 0);
    newCallButton_->LoadButtonBitmaps(IDB_NEW_CALL, IDB_NEW_CALL_PRESSED, IDB_NEW_CALL_HOT, IDB_NEW_CALL_DISABLED);
    endCallButton_->LoadButtonBitmaps(IDB_END_CALL, IDB_END_CALL_PRESSED, IDB_END_CALL_HOT, 0);
    if (hooks_.directGraphEvents)
        hooks_.directGraphEvents();
    LayoutPanel();

    const struct {
        QWidget *control;
        int tip;
    } tips[] = {{playButton_, IDS_TIP_PLAY},
                {optionsButton_, IDS_TIP_OPTIONS},
                {newCallButton_, IDS_TIP_NEW_CALL},
                {endCallButton_, IDS_TIP_END_CALL},
                {callHistory_, IDS_TIP_CALL_HISTORY}};
    for (const auto &[control, tip] : tips) {
        control->setToolTip(LoadString(tip));
        control->setAccessibleName(LoadString(tip)); // the buttons carry no text of their own
    }
    // Ready for an address to be typed; a focused panel button would look hot.
    callHistory_->setFocus(Qt::OtherFocusReason);
}

call::VideoLayout CCorvidView::CurrentLayout() const
{
    return hooks_.videoLayout ? hooks_.videoLayout() : call::VideoLayout{};
}

void CCorvidView::LayoutPanel()
{
    const call::VideoLayout layout = CurrentLayout();
    const int zoom = std::clamp(layout.zoom, 1, 4);
    const int w = std::max(layout.width, 0) * zoom;
    const int h = std::max(layout.height, 0) * zoom;

    const QSize frameSize(w + 60, h + 230);
    QWidget *frame = window();
    if (hooks_.sizeFrame)
        hooks_.sizeFrame(frameSize);
    else
        frame->setFixedSize(frameSize);
    frame->show();
    frame->raise();

    videoControl_->resize(w, h);
    for (QWidget *hosted : videoControl_->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        hosted->setGeometry(0, 0, w, h);

    const struct {
        QWidget *control;
        QRect place;
    } panel[] = {
        {playButton_, {11, h + 20, 124, 30}},
        {decoration_, {135, h + 20, 24, 30}},
        {optionsButton_, {159, h + 20, 32, 30}},
        {newCallButton_, {11, h + 50, 91, 32}},
        {endCallButton_, {102, h + 50, 89, 32}},
        // 174 x 200 with its list dropped; closed it is as high as its edit field.
        {callHistory_, {15, h + 85, 174, callHistory_->sizeHint().height()}},
    };
    for (const auto &[control, place] : panel) {
        control->setGeometry(place);
        control->show();
        control->raise();
    }
}

QWidget *CCorvidView::VideoControl() const
{
    return videoControl_;
}

CBitmapPanelButton *CCorvidView::Button(int commandId) const
{
    for (CBitmapPanelButton *button : buttons_) {
        if (button->CommandId() == commandId)
            return button;
    }
    return nullptr;
}

std::string CCorvidView::AddressText() const
{
    return callHistory_->currentText().toStdString();
}

void CCorvidView::SetAddressText(const std::string &text)
{
    callHistory_->setEditText(QString::fromStdString(text));
}

void CCorvidView::SetCallHistory(const std::vector<std::string> &names)
{
    callHistory_->clear();
    callHistory_->clearEditText();
    for (const std::string &name : names)
        callHistory_->addItem(QString::fromStdString(name));
    // The first item added would become current and fill the edit field.
    callHistory_->setCurrentIndex(-1);
    callHistory_->clearEditText();
}

void CCorvidView::SelectCallHistoryItem(int index)
{
    if (index < 0 || index >= callHistory_->count()) {
        callHistory_->setCurrentIndex(-1);
        callHistory_->clearEditText();
        return;
    }
    callHistory_->setCurrentIndex(index);
    callHistory_->setEditText(callHistory_->itemText(index)); // also when it was current already
}

void CCorvidView::EnableButton(int commandId, bool enable)
{
    if (CBitmapPanelButton *button = Button(commandId))
        button->setEnabled(enable);
}

void CCorvidView::ShowBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        setCursor(Qt::WaitCursor);
        callHistory_->lineEdit()->setCursor(Qt::WaitCursor);
        endCallButton_->setCursor(Qt::ArrowCursor);
    } else {
        unsetCursor();
        callHistory_->lineEdit()->setCursor(Qt::IBeamCursor);
        endCallButton_->unsetCursor();
    }
}

void CCorvidView::ShowPlayButtonStopped()
{
    playButton_->LoadButtonBitmaps(IDB_PLAY, IDB_PLAY_PRESSED, IDB_PLAY_HOT, IDB_PLAY_DISABLED);
    update();
}

void CCorvidView::ShowPlayButtonPlaying()
{
    playButton_->LoadButtonBitmaps(IDB_STOP, IDB_STOP_PRESSED, IDB_STOP_HOT, IDB_PLAY_DISABLED);
    update();
}

void CCorvidView::UpdateView()
{
    LayoutPanel();
}

void CCorvidView::Repaint()
{
    update();
}

void CCorvidView::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint inVideo = videoControl_->mapFromGlobal(event->globalPos());
    if (busy_ || !videoControl_->rect().contains(inVideo)) {
        event->ignore();
        return;
    }
    ShowZoomMenu(event->globalPos());
}

void CCorvidView::ShowZoomMenu(const QPoint &globalPosition)
{
    auto *menu = new QMenu(window());
    menu->setObjectName(QStringLiteral("DISPLAYSIZE_POPUP"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const int zoom = CurrentLayout().zoom;
    for (int factor = 1; factor <= 4; ++factor) {
        const int id = call::ID_WINDOW_SIZE_100 + factor - 1;
        QAction *size = menu->addAction(QStringLiteral("%1%").arg(factor * 100));
        size->setData(id);
        size->setCheckable(true);
        size->setChecked(factor == zoom);
        connect(size, &QAction::triggered, this, [this, id] { emit Command(id); });
    }
    menu->popup(globalPosition);
}

void CCorvidView::mousePressEvent(QMouseEvent *event)
{
    // Keep presses on the panel's background here, so that the moves and the
    // release that follow come to this view and can be passed on.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void CCorvidView::mouseMoveEvent(QMouseEvent *event)
{
    if (!PassToButton(event))
        QWidget::mouseMoveEvent(event);
}

void CCorvidView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!PassToButton(event))
        QWidget::mouseReleaseEvent(event);
}

// Qt sends the moves and the release of a held button to where the press
// began; a panel button expects them as the one under the pointer, or as the
// one that follows the pointer, gets them. Hands such an event to that button.
bool CCorvidView::PassToButton(QMouseEvent *event)
{
    if (passingToButton_)
        return false;
    CBitmapPanelButton *target = nullptr;
    for (CBitmapPanelButton *button : buttons_) {
        if (button->IsTracking())
            target = button;
    }
    if (!target)
        target = qobject_cast<CBitmapPanelButton *>(childAt(event->position().toPoint()));
    if (!target || !target->isEnabled() || !target->isVisible())
        return false;

    QMouseEvent passed(event->type(), target->mapFrom(this, event->position()), event->scenePosition(),
                       event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
                       event->pointingDevice());
    passingToButton_ = true;
    QCoreApplication::sendEvent(target, &passed);
    passingToButton_ = false;
    return true;
}

bool CCorvidView::eventFilter(QObject *watched, QEvent *event)
{
    if (busy_ && IsInput(event->type()))
        return true;
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrel::ui
