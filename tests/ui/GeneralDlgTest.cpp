#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/OsdHotkeySettings.h"
#include "tests/ui/OptionsTestSupport.h"
#include "ui/GeneralDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

using namespace kestrel::ui;
using namespace kestrel::ui::testing;
using kestrel::overlaysettings::HotKey;
using kestrel::overlaysettings::HotKeyEdit;
using kestrel::overlaysettings::kOsdD3DKeyPath;
using kestrel::overlaysettings::kOsdOpenGLKeyPath;
using kestrel::overlaysettings::OverlaySettings;
using kestrel::platform::MessageIcon;
using kestrel::platform::ProfileValue;

namespace {

const std::string kSettings = "Software\\ORVA\\Kestrel\\Settings";
constexpr std::uint8_t kCtrlAlt = kestrel::overlaysettings::kHotKeyControl | kestrel::overlaysettings::kHotKeyAlt;
constexpr std::uint8_t kF5 = 0x74;
constexpr std::uint8_t kF6 = 0x75;
constexpr std::uint32_t kF5ScanCode = 0x3F;
constexpr std::uint32_t kF6ScanCode = 0x40;

class GeneralDlgTest : public SheetTest {
protected:
    QWidget &General() { return Page("132"); }
    template <typename Widget>
    Widget *On(const char *id)
    {
        return Control<Widget>(General(), id);
    }
    void AddRendererKeys(std::uint32_t enable, std::uint32_t scanCode, bool openGL = true)
    {
        for (std::string_view path : {kOsdD3DKeyPath, kOsdOpenGLKeyPath}) {
            if (path == kOsdOpenGLKeyPath && !openGL)
                continue;
            ASSERT_TRUE(store.store.CreateKey(path));
            store.store.WriteValue(path, "HotkeyEnable", ProfileValue(enable));
            store.store.WriteValue(path, "HotkeyValue", ProfileValue(scanCode));
        }
        store.writes.clear();
    }
    OverlaySettings Stored()
    {
        OverlaySettings settings;
        kestrel::overlaysettings::LoadOverlaySettings(store.store, settings);
        return settings;
    }
};

TEST_F(GeneralDlgTest, EmptyStoreOpensOnZeroPercentTopRightAndCtrlAltV)
{
    Open();
    EXPECT_EQ(Tabs().tabText(0), QStringLiteral("Kestrel"));
    auto *slider = On<QSlider>("1011");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->pageStep(), 10);
    EXPECT_EQ(slider->tickInterval(), 10);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(On<QLabel>("1015")->text(), QStringLiteral("0%"));
    auto *position = On<QComboBox>("1012");
    const QStringList items{"Top/Right", "Top/Left", "Bottom/Left", "Bottom/Right", "User Input"};
    ASSERT_EQ(position->count(), items.size());
    for (int i = 0; i < position->count(); ++i)
        EXPECT_EQ(position->itemText(i), items[i]);
    EXPECT_EQ(position->currentIndex(), 0);
    for (const char *id : {"1014", "1013"}) {
        EXPECT_FALSE(On<QLineEdit>(id)->isEnabled()) << id;
        EXPECT_EQ(On<QLineEdit>(id)->text(), QStringLiteral("0")) << id;
    }
    EXPECT_EQ(On<HotKeyEdit>("1019")->Value(), (HotKey{'V', kCtrlAlt}));
    EXPECT_FALSE(On<QCheckBox>("1018")->isChecked());
    EXPECT_TRUE(On<HotKeyEdit>("1017")->isEnabled()) << "without the renderer's key the control stays enabled";
    EXPECT_TRUE(On<HotKeyEdit>("1017")->Value().IsEmpty());
    EXPECT_TRUE(store.store.KeyExists(kSettings)) << "loading creates the profile section";
}

TEST_F(GeneralDlgTest, UserInputEnablesXAndYAtOnceAndOtherEntriesKeepAndSaveThem)
{
    Open();
    auto *position = On<QComboBox>("1012");
    position->setCurrentIndex(4);
    EXPECT_TRUE(On<QLineEdit>("1014")->isEnabled());
    EXPECT_TRUE(On<QLineEdit>("1013")->isEnabled());
    On<QLineEdit>("1014")->setText(QStringLiteral("640"));
    On<QLineEdit>("1013")->setText(QStringLiteral("-20"));
    position->setCurrentIndex(2);
    EXPECT_FALSE(On<QLineEdit>("1014")->isEnabled());
    EXPECT_EQ(On<QLineEdit>("1014")->text(), QStringLiteral("640")) << "disabling keeps the contents";
    PressOk();
    EXPECT_FALSE(sheet.isVisible());
    const OverlaySettings stored = Stored();
    EXPECT_EQ(stored.positionIndex, 2);
    EXPECT_EQ(stored.posX, 640);
    EXPECT_EQ(stored.posY, -20);
}

TEST_F(GeneralDlgTest, DraggingUpdatesThePercentageAndCancelLeavesTheStoreAlone)
{
    kestrel::overlaysettings::SaveOverlaySettings(store.store, {20, 1, 7, 8, 'V', 6});
    Open();
    auto *slider = On<QSlider>("1011");
    EXPECT_EQ(On<QLabel>("1015")->text(), QStringLiteral("20%"));
    slider->setSliderDown(true);
    for (int position : {25, 40, 55}) {
        slider->setSliderPosition(position);
        EXPECT_EQ(On<QLabel>("1015")->text(), QStringLiteral("%1%").arg(position)) << "the text follows the drag";
    }
    slider->setSliderDown(false);
    EXPECT_EQ(qobject_cast<CGeneralDlg *>(&General())->Settings().transparency, 20) << "the member waits for OK";
    store.writes.clear();
    PressCancel();
    EXPECT_TRUE(store.writes.empty());
    EXPECT_EQ(store.store.ReadValue(kSettings, "Transparency"), ProfileValue(20u));
    Open();
    EXPECT_EQ(slider->value(), 20) << "the next opening loads the store again";
}

TEST_F(GeneralDlgTest, OkWritesTheSixValuesInOrderThenTheOsdKeyToD3DThenOpenGL)
{
    AddRendererKeys(1, kF5ScanCode);
    Open();
    EXPECT_TRUE(On<QCheckBox>("1018")->isChecked());
    EXPECT_TRUE(On<HotKeyEdit>("1017")->isEnabled());
    EXPECT_EQ(On<HotKeyEdit>("1017")->Value(), (HotKey{kF5, kCtrlAlt})) << "the stored key comes back with Ctrl+Alt";
    On<QSlider>("1011")->setValue(70);
    On<HotKeyEdit>("1017")->SetValue({kF6, kestrel::overlaysettings::kHotKeyShift});
    On<HotKeyEdit>("1019")->SetValue({0x7B, 0x05});
    PressOk();
    const std::string d3d(kOsdD3DKeyPath);
    const std::string openGL(kOsdOpenGLKeyPath);
    const std::vector<std::string> expected{
        kSettings + "|Transparency", kSettings + "|PositionIndex", kSettings + "|PosX",
        kSettings + "|PosY",         kSettings + "|Key",           kSettings + "|Modifier",
        d3d + "|HotkeyEnable",       d3d + "|HotkeyValue",         openGL + "|HotkeyEnable",
        openGL + "|HotkeyValue"};
    EXPECT_EQ(store.writes, expected);
    EXPECT_EQ(Stored(), (OverlaySettings{70, 0, 0, 0, 0x7B, 0x05}));
    for (std::string_view path : {kOsdD3DKeyPath, kOsdOpenGLKeyPath})
        EXPECT_EQ(store.store.ReadValue(path, "HotkeyValue"), ProfileValue(kF6ScanCode)) << "modifiers are not stored";
}

TEST_F(GeneralDlgTest, WithoutTheOpenGLKeyOnlyD3DIsWritten)
{
    AddRendererKeys(0, kF5ScanCode, false);
    Open();
    EXPECT_FALSE(On<HotKeyEdit>("1017")->isEnabled()) << "a cleared flag disables the OSD hot key";
    PressOk();
    EXPECT_FALSE(store.store.KeyExists(kOsdOpenGLKeyPath)) << "the renderer's keys are never created";
    EXPECT_EQ(store.writes.back(), std::string(kOsdD3DKeyPath) + "|HotkeyValue");
}

TEST_F(GeneralDlgTest, InvalidIntegerKeepsTheSheetOpenOnGeneralWithTheFocusOnTheField)
{
    Open();
    On<QComboBox>("1012")->setCurrentIndex(4);
    auto *x = On<QLineEdit>("1014");
    auto *y = On<QLineEdit>("1013");

    x->setText(QString());
    PressOk();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please enter an integer.");
    EXPECT_EQ(messages.shown[0].caption, "Kestrel");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.focusWidget(), x);
    EXPECT_TRUE(store.writes.empty()) << "nothing is saved while a field is refused";

    x->setText(QStringLiteral("12"));
    y->setText(QStringLiteral("-"));
    Visit(2);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(Tabs().currentIndex(), 0) << "leaving the page is refused too";
    EXPECT_EQ(sheet.focusWidget(), y);

    y->setText(QStringLiteral("34"));
    Visit(2);
    EXPECT_EQ(Tabs().currentIndex(), 2);
    PressOk();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(Stored().posX, 12);
    EXPECT_EQ(Stored().posY, 34);
}

TEST_F(GeneralDlgTest, EnableClickTakesTheFlagAtOnceUnlessAFieldIsRefused)
{
    AddRendererKeys(0, 0);
    Open();
    auto *enable = On<QCheckBox>("1018");
    auto *osdHotKey = On<HotKeyEdit>("1017");
    auto *general = qobject_cast<CGeneralDlg *>(&General());
    ASSERT_FALSE(osdHotKey->isEnabled());

    enable->click();
    EXPECT_EQ(general->OsdEnable(), 1);
    EXPECT_TRUE(osdHotKey->isEnabled());
    enable->click();
    EXPECT_EQ(general->OsdEnable(), 0);
    EXPECT_FALSE(osdHotKey->isEnabled());

    On<QComboBox>("1012")->setCurrentIndex(4);
    On<QLineEdit>("1014")->setText(QStringLiteral("-"));
    enable->click();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(general->OsdEnable(), 0) << "a refused X leaves the flag as it was";
    EXPECT_FALSE(osdHotKey->isEnabled());
}

TEST_F(GeneralDlgTest, WithoutTheRendererKeyTheEnableFlagKeepsItsLastValue)
{
    Open();
    On<QCheckBox>("1018")->click();
    On<HotKeyEdit>("1017")->SetValue({kF5, kCtrlAlt});
    PressCancel();
    Open();
    EXPECT_TRUE(On<QCheckBox>("1018")->isChecked()) << "the member, not a stored value";
    EXPECT_TRUE(On<HotKeyEdit>("1017")->Value().IsEmpty()) << "the OSD hot key is not kept";
    PressOk();
    EXPECT_FALSE(store.store.KeyExists(kOsdD3DKeyPath));
}

TEST_F(GeneralDlgTest, NoPositionSelectedIsShownAsNoneAndSavedAsMinusOne)
{
    kestrel::overlaysettings::SaveOverlaySettings(store.store, {150, -1, 5, 5, 'V', 6});
    Open();
    EXPECT_EQ(On<QComboBox>("1012")->currentIndex(), -1);
    EXPECT_FALSE(On<QLineEdit>("1014")->isEnabled());
    EXPECT_EQ(On<QLabel>("1015")->text(), QStringLiteral("100%")) << "shown as the slider end it is saved as";
    PressOk();
    EXPECT_EQ(store.store.ReadValue(kSettings, "PositionIndex"), ProfileValue(0xFFFFFFFFu));
    EXPECT_EQ(store.store.ReadValue(kSettings, "Transparency"), ProfileValue(100u));
}

} // namespace
