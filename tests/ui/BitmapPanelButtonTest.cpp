#include "ui/BitmapPanelButton.h"

#include "PanelTestSupport.h"

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

using kestrel::ui::CBitmapPanelButton;
using namespace kestrel::ui::test;
using Bitmap = CBitmapPanelButton::Bitmap;

namespace {

constexpr int kCommand = 4711;
enum : int { kNormal = 1, kPressed = 2, kHot = 3, kDisabled = 4, kMissing = 99 };
const QColor kBackground(10, 200, 30);

QPixmap Solid(QSize size, QColor colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// Every pixel tells where it came from: red = 4 x column, green = 8 x row.
QColor Origin(int x, int y)
{
    return QColor(x * 4, y * 8, 200);
}

QPixmap Gradient(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, Origin(x, y));
    return QPixmap::fromImage(image);
}

// Bitmaps by id for the button, remembering which ids it asked for.
struct FakeBitmaps {
    std::map<int, QPixmap> byId;
    std::vector<int> asked;
};

// Calls `before` with each event of `type` that reaches the watched object, before it is handled.
class EventProbe : public QObject {
public:
    EventProbe(QEvent::Type type, std::function<void()> before) : type_(type), before_(std::move(before)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type_)
            before_();
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> before_;
};

class BitmapPanelButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bitmaps->byId = {{kNormal, Solid({40, 20}, Qt::blue)},
                         {kPressed, Solid({40, 20}, Qt::red)},
                         {kHot, Solid({40, 20}, Qt::yellow)},
                         {kDisabled, Solid({40, 20}, Qt::gray)}};
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, kBackground);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(200, 100);
        other = new QLineEdit(&window);
        other->setGeometry(120, 70, 60, 20);
        button = new CBitmapPanelButton(kCommand, &window, [shared = bitmaps](int id) {
            shared->asked.push_back(id);
            const auto found = shared->byId.find(id);
            return found == shared->byId.end() ? QPixmap() : found->second;
        });
        button->setGeometry(50, 30, 40, 20);
        ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, kPressed, kHot, kDisabled));
        ASSERT_TRUE(ShowActive(window));
        bitmaps->asked.clear();
    }

    void TearDown() override
    {
        // Leave no button held for the next test.
        QTest::mouseRelease(WindowOf(&window), Qt::LeftButton, {}, {5, 5});
    }

    QColor DrawnAt(int x, int y) const
    {
        return button->grab().toImage().pixelColor(x, y);
    }

    const QPoint centre{20, 10};
    const QPoint outside{-40, -20}; // on the window, left of and above the button
    std::shared_ptr<FakeBitmaps> bitmaps = std::make_shared<FakeBitmaps>();
    QWidget window;
    QLineEdit *other = nullptr;
    CBitmapPanelButton *button = nullptr;
};

TEST_F(BitmapPanelButtonTest, FailedLoadKeepsEarlierBitmapsAndLeavesLaterOnesAbsent)
{
    EXPECT_FALSE(button->LoadButtonBitmaps(kNormal, kMissing, kHot, kDisabled));
    EXPECT_TRUE(button->HasBitmap(Bitmap::Normal));
    EXPECT_FALSE(button->HasBitmap(Bitmap::Pressed));
    EXPECT_FALSE(button->HasBitmap(Bitmap::Hot)) << "bitmaps after the failing one were loaded before and must be gone";
    EXPECT_FALSE(button->HasBitmap(Bitmap::Disabled));
    EXPECT_EQ(bitmaps->asked, (std::vector<int>{kNormal, kMissing})) << "loading stops at the first failure";

    EXPECT_FALSE(button->LoadButtonBitmaps(kMissing, kPressed, kHot, kDisabled));
    EXPECT_FALSE(button->HasBitmap(Bitmap::Normal));
    EXPECT_FALSE(button->HasBitmap(Bitmap::Pressed));

    bitmaps->asked.clear();
    EXPECT_TRUE(button->LoadButtonBitmaps(kNormal, 0, kHot, 0)) << "0 means no bitmap, not a failure";
    EXPECT_EQ(bitmaps->asked, (std::vector<int>{kNormal, kHot}));
    EXPECT_TRUE(button->HasBitmap(Bitmap::Hot));
    EXPECT_FALSE(button->HasBitmap(Bitmap::Pressed));

    EXPECT_FALSE(button->LoadButtonBitmaps(0, kPressed, kHot, kDisabled)) << "the normal bitmap is required";
}

TEST_F(BitmapPanelButtonTest, TallerBitmapShowsItsMiddleRowsAndLowerOneStartsBelowTheTop)
{
    bitmaps->byId[kNormal] = Gradient({40, 30}); // 10 rows taller than the button
    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, 0, 0, 0));
    QImage drawn = button->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(0, 0), Origin(0, 5));
    EXPECT_EQ(drawn.pixelColor(39, 19), Origin(39, 24));

    bitmaps->byId[kNormal] = Gradient({40, 10}); // 10 rows lower
    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, 0, 0, 0));
    drawn = button->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(3, 4), kBackground);
    EXPECT_EQ(drawn.pixelColor(3, 5), Origin(3, 0));
    EXPECT_EQ(drawn.pixelColor(3, 14), Origin(3, 9));
    EXPECT_EQ(drawn.pixelColor(3, 15), kBackground);

    bitmaps->byId[kNormal] = Gradient({60, 20}); // wider: its left part shows
    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, 0, 0, 0));
    drawn = button->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(0, 7), Origin(0, 7));
    EXPECT_EQ(drawn.pixelColor(39, 7), Origin(39, 7));

    bitmaps->byId[kNormal] = Gradient({25, 20}); // narrower: the rest is background
    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, 0, 0, 0));
    drawn = button->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(24, 7), Origin(24, 7));
    EXPECT_EQ(drawn.pixelColor(25, 7), kBackground);
}

TEST_F(BitmapPanelButtonTest, PointerOverTheButtonCapturesAndLeavingLetsGo)
{
    EXPECT_EQ(DrawnAt(20, 10), QColor(Qt::blue));
    MoveTo(button, centre);
    EXPECT_TRUE(button->IsTracking());
    EXPECT_TRUE(button->IsHot());
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualHot);
    EXPECT_EQ(button->LastChosen(), Bitmap::Hot);
    EXPECT_EQ(DrawnAt(20, 10), QColor(Qt::yellow));

    MoveTo(button, outside);
    EXPECT_FALSE(button->IsTracking());
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualNone);
    EXPECT_EQ(button->LastChosen(), Bitmap::Normal);
}

TEST_F(BitmapPanelButtonTest, HotWithoutAHotBitmapShowsTheNormalOne)
{
    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, kPressed, 0, kDisabled));
    MoveTo(button, centre);
    ASSERT_TRUE(button->IsHot());
    EXPECT_EQ(button->LastChosen(), Bitmap::Normal);
    EXPECT_EQ(DrawnAt(20, 10), QColor(Qt::blue));
}

TEST_F(BitmapPanelButtonTest, ClickTakesTheFocusAndSendsOnRelease)
{
    QSignalSpy commands(button, &CBitmapPanelButton::Command);
    MoveTo(button, centre);
    PressAt(button, centre);
    EXPECT_TRUE(button->hasFocus());
    EXPECT_TRUE(button->HasFocusFlag());
    EXPECT_TRUE(button->IsPressed());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualPressed);
    EXPECT_EQ(button->LastChosen(), Bitmap::Pressed);
    EXPECT_EQ(commands.count(), 0) << "the command goes on release, not on press";

    ReleaseAt(button, centre);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), kCommand);
    EXPECT_FALSE(button->IsPressed());
    EXPECT_TRUE(button->IsHot());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualHot);
    EXPECT_EQ(button->LastChosen(), Bitmap::Hot);

    // Pressed again, now with the focus.
    PressAt(button, centre);
    EXPECT_FALSE(button->IsHot()) << "a press clears the hot flag";
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualPressed);
    ReleaseAt(button, centre);
    EXPECT_EQ(commands.count(), 2);
}

TEST_F(BitmapPanelButtonTest, MovingOffWhileHeldClearsThePressedLookAndReleasingOutsideSendsNothing)
{
    QSignalSpy commands(button, &CBitmapPanelButton::Command);
    MoveTo(button, centre);
    PressAt(button, centre);
    ASSERT_EQ(button->LastChosen(), Bitmap::Pressed);

    MoveTo(button, outside);
    EXPECT_FALSE(button->IsPressed());
    EXPECT_FALSE(button->IsTracking());
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualNone);
    EXPECT_EQ(button->LastChosen(), Bitmap::Normal);

    ReleaseAt(button, outside);
    EXPECT_EQ(commands.count(), 0);

    // Held again, off and back on: the pressed look returns and the release sends.
    PressAt(button, centre);
    MoveTo(button, outside);
    MoveTo(button, centre);
    EXPECT_TRUE(button->IsPressed());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualPressed);
    EXPECT_EQ(button->LastChosen(), Bitmap::Pressed);
    ReleaseAt(button, centre);
    EXPECT_EQ(commands.count(), 1);
}

TEST_F(BitmapPanelButtonTest, FocusGainedShowsHotAndFocusLostClearsIt)
{
    button->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(button->HasFocusFlag());
    EXPECT_TRUE(button->IsHot());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualHot);
    EXPECT_EQ(button->LastChosen(), Bitmap::Hot);

    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(button->HasFocusFlag());
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualNone);
    EXPECT_EQ(button->LastChosen(), Bitmap::Normal);
}

TEST_F(BitmapPanelButtonTest, DoubleClickShowsPressedThenSendsOnEachRelease)
{
    QSignalSpy commands(button, &CBitmapPanelButton::Command);
    MoveTo(button, centre);
    struct Seen {
        bool pressed;
        int visual;
        std::optional<Bitmap> drawn;
    };
    std::vector<Seen> beforeRelease;
    EventProbe probe(QEvent::MouseButtonRelease, [&] {
        beforeRelease.push_back({button->IsPressed(), button->VisualState(), button->LastChosen()});
    });
    button->installEventFilter(&probe);
    DoubleClickAt(button, centre);

    EXPECT_EQ(commands.count(), 2);
    ASSERT_EQ(beforeRelease.size(), 2u);
    const Seen &second = beforeRelease[1];
    EXPECT_TRUE(second.pressed) << "the double click counts as a press";
    EXPECT_EQ(second.visual, CBitmapPanelButton::kVisualNone) << "the double click ends with visual state 0";
    EXPECT_EQ(second.drawn, Bitmap::Pressed);
    EXPECT_EQ(button->VisualState(), CBitmapPanelButton::kVisualHot);
    EXPECT_FALSE(button->IsPressed());
}

TEST_F(BitmapPanelButtonTest, DisabledButtonShowsItsDisabledBitmapLetsGoAndSendsNothing)
{
    QSignalSpy commands(button, &CBitmapPanelButton::Command);
    MoveTo(button, centre);
    ASSERT_TRUE(button->IsTracking());
    button->setEnabled(false);
    EXPECT_FALSE(button->IsTracking());
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(button->LastChosen(), Bitmap::Disabled);
    EXPECT_EQ(DrawnAt(20, 10), QColor(Qt::gray));

    PressAt(button, centre);
    ReleaseAt(button, centre);
    EXPECT_EQ(commands.count(), 0);

    ASSERT_TRUE(button->LoadButtonBitmaps(kNormal, kPressed, kHot, 0));
    button->repaint();
    EXPECT_EQ(button->LastChosen(), Bitmap::Disabled);
    EXPECT_EQ(DrawnAt(20, 10), kBackground) << "without a disabled bitmap only the background shows";

    button->setEnabled(true);
    MoveTo(button, outside);
    MoveTo(button, centre);
    EXPECT_EQ(button->LastChosen(), Bitmap::Hot);
}

TEST_F(BitmapPanelButtonTest, SpaceOnTheFocusedButtonSendsItsCommand)
{
    QSignalSpy commands(button, &CBitmapPanelButton::Command);
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), kCommand);
}

} // namespace
