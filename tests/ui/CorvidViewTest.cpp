#include "ui/CorvidView.h"

#include "PanelTestSupport.h"
#include "call/CommandIds.h"
#include "ui/BitmapPanelButton.h"
#include "ui/PanelBitmaps.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel;
using namespace kestrel::ui;
using namespace kestrel::ui::test;
using Bitmap = CBitmapPanelButton::Bitmap;

namespace {

// Bitmap `id` as the panel shows it: over the panel's background.
QImage OnPanel(int id)
{
    const QPixmap bitmap = LoadBitmap(id);
    QImage image(bitmap.size(), QImage::Format_RGB32);
    image.fill(CCorvidView::kBackground);
    QPainter(&image).drawPixmap(0, 0, bitmap);
    return image;
}

QImage Shown(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::vector<int> Ids(const QSignalSpy &spy)
{
    std::vector<int> ids;
    for (const QList<QVariant> &call : spy)
        ids.push_back(call.at(0).toInt());
    return ids;
}

QMenu *OpenPopup()
{
    WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 2000);
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

void ClosePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

class CorvidViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CCorvidView::Hooks hooks;
        hooks.videoLayout = [this] { return layout; };
        hooks.sizeFrame = [this](QSize size) {
            frameSizes.push_back(size);
            frame.setFixedSize(size);
        };
        hooks.fillCallHistory = [this](CCorvidView &panel) {
            steps.push_back("history");
            panel.SetCallHistory({"192.168.0.10", "kestrel-peer"});
        };
        hooks.directGraphEvents = [this] { steps.push_back("graph events"); };
        view = new CCorvidView(hooks);
        frame.setCentralWidget(view);
        view->OnInitialUpdate();
        ASSERT_TRUE(ShowActive(frame));
        commands = std::make_unique<QSignalSpy>(view, &CCorvidView::Command);
    }

    void TearDown() override
    {
        ClosePopups();
        QTest::mouseRelease(WindowOf(&frame), Qt::LeftButton, {}, {2, 2});
    }

    CBitmapPanelButton *Button(int id) const { return view->Button(id); }

    void Click(QWidget *widget)
    {
        const QPoint centre = widget->rect().center();
        MoveTo(widget, centre);
        PressAt(widget, centre);
        ReleaseAt(widget, centre);
    }

    call::VideoLayout layout;
    std::vector<QSize> frameSizes;
    std::vector<std::string> steps;
    QMainWindow frame;
    CCorvidView *view = nullptr;
    std::unique_ptr<QSignalSpy> commands;
};

TEST_F(CorvidViewTest, InitialUpdateFillsTheHistoryLoadsTheBitmapsAndSetsTheTooltips)
{
    EXPECT_EQ(steps, (std::vector<std::string>{"history", "graph events"}));
    ASSERT_EQ(view->CallHistoryBox()->count(), 2);
    EXPECT_EQ(view->CallHistoryBox()->itemText(1), QStringLiteral("kestrel-peer"));

    EXPECT_EQ(Shown(Button(call::ID_LOCAL_PLAY)), OnPanel(IDB_PLAY));
    EXPECT_EQ(Shown(Button(call::ID_OPTION)), OnPanel(IDB_OPTIONS));
    EXPECT_EQ(Shown(Button(call::ID_NEW_CALL)), OnPanel(IDB_NEW_CALL));
    EXPECT_EQ(Shown(Button(call::ID_END_CALL)), OnPanel(IDB_END_CALL));
    EXPECT_TRUE(Button(call::ID_NEW_CALL)->HasBitmap(Bitmap::Disabled));
    EXPECT_FALSE(Button(call::ID_OPTION)->HasBitmap(Bitmap::Disabled));
    EXPECT_FALSE(Button(call::ID_END_CALL)->HasBitmap(Bitmap::Disabled));

    EXPECT_EQ(Button(call::ID_LOCAL_PLAY)->toolTip(), QStringLiteral("Play/Stop"));
    EXPECT_EQ(Button(call::ID_OPTION)->toolTip(), QStringLiteral("Options"));
    EXPECT_EQ(Button(call::ID_NEW_CALL)->toolTip(), QStringLiteral("Make a Call"));
    EXPECT_EQ(Button(call::ID_END_CALL)->toolTip(), QStringLiteral("End the Call"));
    EXPECT_EQ(view->CallHistoryBox()->toolTip(), QStringLiteral("Call History"));
}

TEST_F(CorvidViewTest, ControlsAreFoundByTheirIdsAndOnlyThePanelTakesItsColour)
{
    for (int id : {call::ID_LOCAL_PLAY, call::ID_OPTION, call::ID_NEW_CALL, call::ID_END_CALL})
        EXPECT_EQ(view->findChild<QWidget *>(QString::number(id)), Button(id)) << id;
    EXPECT_EQ(view->findChild<QWidget *>(QStringLiteral("1000")), view->VideoControl());
    EXPECT_EQ(view->findChild<QComboBox *>(QStringLiteral("1001")), view->CallHistoryBox());
    auto *decoration = view->findChild<QLabel *>(QStringLiteral("1012"));
    ASSERT_NE(decoration, nullptr);
    EXPECT_EQ(decoration->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              LoadBitmap(IDB_DECORATION).toImage().convertToFormat(QImage::Format_ARGB32));

    EXPECT_EQ(view->palette().color(QPalette::Window), QColor(168, 149, 24));
    EXPECT_EQ(Shown(view).pixelColor(200, 20), QColor(168, 149, 24)) << "right of the video";
    EXPECT_EQ(Button(call::ID_OPTION)->palette().color(QPalette::Window), CCorvidView::kBackground);
    EXPECT_EQ(decoration->palette().color(QPalette::Window), CCorvidView::kBackground);
    EXPECT_EQ(view->CallHistoryBox()->palette().color(QPalette::Window),
              QApplication::palette(view->CallHistoryBox()).color(QPalette::Window));
    EXPECT_NE(view->CallHistoryBox()->palette().color(QPalette::Window), CCorvidView::kBackground);
}

TEST_F(CorvidViewTest, LayoutAtEachZoomSizesFrameAndVideoAndPlacesThePanelBelow)
{
    // zoom 1: the QCIF picture in a 236 x 374 frame
    EXPECT_EQ(frameSizes.back(), QSize(236, 374));
    EXPECT_EQ(frame.size(), QSize(236, 374));
    EXPECT_EQ(view->VideoControl()->size(), QSize(176, 144));
    EXPECT_EQ(Button(call::ID_LOCAL_PLAY)->geometry(), QRect(11, 164, 124, 30));
    EXPECT_EQ(view->findChild<QWidget *>(QStringLiteral("1012"))->geometry(), QRect(135, 164, 24, 30));
    EXPECT_EQ(Button(call::ID_OPTION)->geometry(), QRect(159, 164, 32, 30));
    EXPECT_EQ(Button(call::ID_NEW_CALL)->geometry(), QRect(11, 194, 91, 32));
    EXPECT_EQ(Button(call::ID_END_CALL)->geometry(), QRect(102, 194, 89, 32));
    const QRect history = view->CallHistoryBox()->geometry();
    EXPECT_EQ(history.topLeft(), QPoint(15, 229));
    EXPECT_EQ(history.width(), 174);

    const struct {
        int zoom;
        QSize video;
        QSize frame;
    } zooms[] = {{2, {352, 288}, {412, 518}}, {3, {528, 432}, {588, 662}}, {4, {704, 576}, {764, 806}}};
    for (const auto &expected : zooms) {
        layout.zoom = expected.zoom;
        view->UpdateView();
        EXPECT_EQ(frameSizes.back(), expected.frame) << "zoom " << expected.zoom;
        EXPECT_EQ(view->VideoControl()->size(), expected.video) << "zoom " << expected.zoom;
        EXPECT_EQ(Button(call::ID_END_CALL)->geometry(), QRect(102, expected.video.height() + 50, 89, 32));
        EXPECT_EQ(view->CallHistoryBox()->y(), expected.video.height() + 85);
    }
}

TEST_F(CorvidViewTest, CifAtDoubleSizeMakesTheVideo704x576AndTheFrame764x806)
{
    layout = {352, 288, 2};
    view->UpdateView();
    EXPECT_EQ(view->VideoControl()->size(), QSize(704, 576));
    EXPECT_EQ(frameSizes.back(), QSize(764, 806));
    EXPECT_EQ(Button(call::ID_NEW_CALL)->pos(), QPoint(11, 626));
}

TEST_F(CorvidViewTest, WithoutASizingHookTheFrameGetsTheFixedSize)
{
    QMainWindow plainFrame;
    auto *plainView = new CCorvidView({[] { return call::VideoLayout{176, 144, 2}; }, {}, {}, {}});
    plainFrame.setCentralWidget(plainView);
    plainView->OnInitialUpdate();
    EXPECT_EQ(plainFrame.minimumSize(), QSize(412, 518));
    EXPECT_EQ(plainFrame.maximumSize(), QSize(412, 518));
    EXPECT_TRUE(plainFrame.isVisible());
}

TEST_F(CorvidViewTest, LayoutWhileTheWindowIsHiddenShowsItAgain)
{
    frame.hide();
    ASSERT_FALSE(frame.isVisible());
    view->UpdateView();
    EXPECT_TRUE(frame.isVisible());
}

TEST_F(CorvidViewTest, HostedVideoWidgetIsKeptAtTheVideoSize)
{
    auto *video = new QWidget(view->VideoControl());
    video->setGeometry(5, 5, 10, 10);
    layout.zoom = 2;
    view->UpdateView();
    EXPECT_EQ(video->geometry(), QRect(0, 0, 352, 288));
}

TEST_F(CorvidViewTest, VideoControlWithoutVideoShowsThePlaceholderCentredInABorder)
{
    const QImage placeholder = LoadBitmap(IDB_NO_VIDEO).toImage().convertToFormat(QImage::Format_RGB32);
    QImage shown = Shown(view->VideoControl());
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(175, 143), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(88, 72), placeholder.pixelColor(88, 72));
    EXPECT_EQ(shown.pixelColor(40, 100), placeholder.pixelColor(40, 100));

    layout.zoom = 2;
    view->UpdateView();
    shown = Shown(view->VideoControl());
    EXPECT_EQ(shown.pixelColor(176, 144), placeholder.pixelColor(88, 72)) << "centred";
    EXPECT_EQ(shown.pixelColor(20, 20), placeholder.pixelColor(0, 0)) << "the rest in the corner colour";
    EXPECT_EQ(shown.pixelColor(0, 150), QColor(Qt::black));
}

TEST_F(CorvidViewTest, RightClickOnTheVideoOffersTheFourSizesWithTheCurrentOneChecked)
{
    layout.zoom = 3;
    QWidget *video = view->VideoControl();
    PressAt(video, {80, 70}, Qt::RightButton);
    ReleaseAt(video, {80, 70}, Qt::RightButton);
    QMenu *menu = OpenPopup();
    ASSERT_NE(menu, nullptr);
    const QList<QAction *> sizes = menu->actions();
    ASSERT_EQ(sizes.size(), 4);
    const char *texts[] = {"100%", "200%", "300%", "400%"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sizes[i]->text(), QString::fromLatin1(texts[i]));
        EXPECT_EQ(sizes[i]->isChecked(), i == 2) << texts[i];
    }
    sizes[1]->trigger();
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_WINDOW_SIZE_200});
}

TEST_F(CorvidViewTest, RightClickOnThePanelShowsNoMenu)
{
    for (QWidget *place : {static_cast<QWidget *>(view), static_cast<QWidget *>(Button(call::ID_OPTION)),
                           view->findChild<QWidget *>(QStringLiteral("1012"))}) {
        const QPoint at = place == view ? QPoint(200, 250) : place->rect().center();
        PressAt(place, at, Qt::RightButton);
        ReleaseAt(place, at, Qt::RightButton);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << place->objectName().toStdString();
        ClosePopups();
    }
    // The same request over the video does open it: the clicks above did arrive.
    PressAt(view->VideoControl(), {10, 10}, Qt::RightButton);
    ReleaseAt(view->VideoControl(), {10, 10}, Qt::RightButton);
    EXPECT_NE(OpenPopup(), nullptr);
}

TEST_F(CorvidViewTest, EachPanelButtonSendsItsCommand)
{
    for (int id : {call::ID_LOCAL_PLAY, call::ID_OPTION, call::ID_NEW_CALL, call::ID_END_CALL})
        Click(Button(id));
    EXPECT_EQ(Ids(*commands),
              (std::vector<int>{call::ID_LOCAL_PLAY, call::ID_OPTION, call::ID_NEW_CALL, call::ID_END_CALL}));
}

TEST_F(CorvidViewTest, ReleaseOverAButtonSendsEvenWhenThePressBeganElsewhere)
{
    CBitmapPanelButton *newCall = Button(call::ID_NEW_CALL);
    const QPoint background(215, 200); // right of End Call
    PressAt(view, background);
    MoveTo(view, background + QPoint(-5, 0));
    MoveTo(newCall, {40, 15});
    EXPECT_TRUE(newCall->IsTracking());
    EXPECT_TRUE(newCall->IsPressed());
    EXPECT_EQ(newCall->LastChosen(), Bitmap::Pressed);
    ReleaseAt(newCall, {40, 15});
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_NEW_CALL});

    // From the decorative picture onto Options.
    QWidget *decoration = view->findChild<QWidget *>(QStringLiteral("1012"));
    PressAt(decoration, {12, 15});
    MoveTo(Button(call::ID_OPTION), {10, 15});
    ReleaseAt(Button(call::ID_OPTION), {10, 15});
    EXPECT_EQ(Ids(*commands), (std::vector<int>{call::ID_NEW_CALL, call::ID_OPTION}));
}

TEST_F(CorvidViewTest, PressOnOneButtonReleasedOnAnotherSendsOnlyTheOther)
{
    CBitmapPanelButton *newCall = Button(call::ID_NEW_CALL);
    CBitmapPanelButton *endCall = Button(call::ID_END_CALL);
    MoveTo(newCall, {40, 15});
    PressAt(newCall, {40, 15});
    MoveTo(endCall, {40, 15});
    EXPECT_FALSE(newCall->IsPressed());
    EXPECT_EQ(newCall->VisualState(), CBitmapPanelButton::kVisualNone);
    MoveTo(endCall, {42, 15});
    EXPECT_TRUE(endCall->IsPressed());
    ReleaseAt(endCall, {42, 15});
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_END_CALL});
}

TEST_F(CorvidViewTest, PressOnADisabledButtonCanEndOnAnother)
{
    view->EnableButton(call::ID_NEW_CALL, false);
    PressAt(Button(call::ID_NEW_CALL), {40, 15});
    MoveTo(Button(call::ID_END_CALL), {40, 15});
    ReleaseAt(Button(call::ID_END_CALL), {40, 15});
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_END_CALL});
}

TEST_F(CorvidViewTest, PressElsewhereDraggedAcrossAButtonAndReleasedOutsideSendsNothing)
{
    CBitmapPanelButton *endCall = Button(call::ID_END_CALL);
    PressAt(view, {215, 200});
    MoveTo(endCall, {60, 15});
    ASSERT_TRUE(endCall->IsPressed());
    MoveTo(view, {215, 205});
    EXPECT_FALSE(endCall->IsPressed());
    EXPECT_FALSE(endCall->IsTracking());
    ReleaseAt(view, {215, 205});
    EXPECT_TRUE(commands->isEmpty());
}

TEST_F(CorvidViewTest, CallHistorySelectionPutsTheItemsTextInTheEditField)
{
    view->SetCallHistory({"10.0.0.7", "192.168.0.10", "kestrel-peer"});
    EXPECT_EQ(view->AddressText(), "") << "filling the list empties the edit field";
    view->SelectCallHistoryItem(1);
    EXPECT_EQ(view->AddressText(), "192.168.0.10");
    view->SetAddressText("typed over");
    view->SelectCallHistoryItem(1);
    EXPECT_EQ(view->AddressText(), "192.168.0.10") << "selecting the current item again restores its text";
    view->SelectCallHistoryItem(-1);
    EXPECT_EQ(view->AddressText(), "");
    EXPECT_EQ(view->CallHistoryBox()->currentIndex(), -1);
    view->SelectCallHistoryItem(3);
    EXPECT_EQ(view->CallHistoryBox()->currentIndex(), -1) << "out of range selects none";

    view->SetCallHistory({"b-host", "a-host"});
    EXPECT_EQ(view->CallHistoryBox()->itemText(0), QStringLiteral("b-host")) << "not sorted";
    view->SetAddressText("10.1.2.3");
    EXPECT_EQ(view->AddressText(), "10.1.2.3");
}

TEST_F(CorvidViewTest, TypedAddressIsNeitherCompletedNorAddedToTheList)
{
    view->SetCallHistory({"192.168.0.10"});
    QLineEdit *edit = view->CallHistoryBox()->lineEdit();
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(edit, QStringLiteral("19"));
    EXPECT_EQ(view->AddressText(), "19");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(view->CallHistoryBox()->count(), 1);
    EXPECT_EQ(view->AddressText(), "19");
}

TEST_F(CorvidViewTest, DisabledNewCallShowsItsDisabledBitmapAndSendsNothing)
{
    view->EnableButton(call::ID_NEW_CALL, false);
    view->EnableButton(call::ID_LOCAL_PLAY, false);
    view->EnableButton(12345, false); // no such button: nothing happens
    EXPECT_EQ(Shown(Button(call::ID_NEW_CALL)), OnPanel(IDB_NEW_CALL_DISABLED));
    EXPECT_EQ(Shown(Button(call::ID_LOCAL_PLAY)), OnPanel(IDB_PLAY_DISABLED));
    EXPECT_TRUE(Button(call::ID_OPTION)->isEnabled());
    Click(Button(call::ID_NEW_CALL));
    EXPECT_TRUE(commands->isEmpty());

    view->EnableButton(call::ID_NEW_CALL, true);
    Click(Button(call::ID_NEW_CALL));
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_NEW_CALL});
}

TEST_F(CorvidViewTest, WhileBusyOnlyEndCallTakesInput)
{
    view->SetCallHistory({"10.0.0.7"});
    view->SelectCallHistoryItem(0);
    view->ShowBusy(true);
    EXPECT_TRUE(view->IsBusy());
    EXPECT_EQ(view->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(Button(call::ID_OPTION)->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(Button(call::ID_END_CALL)->cursor().shape(), Qt::ArrowCursor);

    Click(Button(call::ID_OPTION));
    Click(Button(call::ID_NEW_CALL));
    EXPECT_TRUE(commands->isEmpty());
    EXPECT_EQ(Button(call::ID_OPTION)->LastChosen(), Bitmap::Normal) << "no hover look while busy";
    QLineEdit *edit = view->CallHistoryBox()->lineEdit();
    edit->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(edit, QStringLiteral("99"));
    EXPECT_EQ(view->AddressText(), "10.0.0.7");
    PressAt(view->VideoControl(), {10, 10}, Qt::RightButton);
    ReleaseAt(view->VideoControl(), {10, 10}, Qt::RightButton);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    Click(Button(call::ID_END_CALL));
    EXPECT_EQ(Ids(*commands), std::vector<int>{call::ID_END_CALL});

    view->ShowBusy(false);
    EXPECT_NE(view->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(edit->cursor().shape(), Qt::IBeamCursor);
    Click(Button(call::ID_OPTION));
    EXPECT_EQ(Ids(*commands), (std::vector<int>{call::ID_END_CALL, call::ID_OPTION}));
}

TEST_F(CorvidViewTest, PlayButtonSwitchesBetweenTheStoppedAndThePlayingLook)
{
    view->ShowPlayButtonPlaying();
    EXPECT_EQ(Shown(Button(call::ID_LOCAL_PLAY)), OnPanel(IDB_STOP));
    view->EnableButton(call::ID_LOCAL_PLAY, false);
    EXPECT_EQ(Shown(Button(call::ID_LOCAL_PLAY)), OnPanel(IDB_PLAY_DISABLED));
    view->EnableButton(call::ID_LOCAL_PLAY, true);
    view->ShowPlayButtonStopped();
    EXPECT_EQ(Shown(Button(call::ID_LOCAL_PLAY)), OnPanel(IDB_PLAY));
}

TEST(PanelBitmaps, EveryBitmapHasItsSizeAndUnknownIdsGiveNone)
{
    const struct {
        int id;
        QSize size;
    } expected[] = {
        {137, {24, 30}},  {152, {176, 144}}, {153, {32, 30}},  {154, {32, 30}},  {155, {32, 30}},
        {156, {124, 30}}, {157, {124, 30}},  {158, {124, 30}}, {159, {89, 32}},  {160, {91, 32}},
        {161, {91, 32}},  {162, {89, 32}},   {163, {89, 32}},  {164, {91, 32}},  {167, {124, 30}},
        {168, {124, 30}}, {169, {124, 30}},  {170, {91, 32}},  {176, {124, 30}}, {178, {380, 240}},
    };
    for (const auto &bitmap : expected)
        EXPECT_EQ(LoadBitmap(bitmap.id).size(), bitmap.size) << bitmap.id;
    for (int unknown : {0, -1, 128, 165, 177, 9999})
        EXPECT_TRUE(LoadBitmap(unknown).isNull()) << unknown;

    const QIcon icon = KestrelIcon();
    EXPECT_EQ(icon.availableSizes().size(), 8);
    EXPECT_EQ(icon.pixmap(16, 16).size(), QSize(16, 16));
    EXPECT_EQ(icon.pixmap(256, 256).size(), QSize(256, 256));
}

} // namespace
