#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/KestrelSettingDialog.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "platform/ui/Translation.h"
#include "tests/platform/store/TemporaryDirectory.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace kestrel::overlaysettings;
using kestrel::platform::MemoryProfileStore;
using kestrel::platform::ProfileValue;
using kestrel::platform::RecordingMessageBox;

namespace {

const std::string kSettings = "Software\\ORVA\\Kestrel\\Settings";

template <typename Widget>
Widget *Control(QWidget &dialog, const char *id)
{
    auto *widget = dialog.findChild<Widget *>(QString::fromLatin1(id));
    EXPECT_NE(widget, nullptr) << "no control " << id;
    return widget;
}

void StoreSettings(MemoryProfileStore &store, const OverlaySettings &settings)
{
    SaveOverlaySettings(store, settings);
}

OverlaySettings StoredSettings(MemoryProfileStore &store)
{
    OverlaySettings settings;
    LoadOverlaySettings(store, settings);
    return settings;
}

class KestrelSettingDialogTest : public ::testing::Test {
protected:
    void PressOk(KestrelSettingDialog &dialog) { Control<QPushButton>(dialog, "1")->click(); }

    MemoryProfileStore store;
    RecordingMessageBox messages;
};

TEST_F(KestrelSettingDialogTest, EmptyStoreShowsDefaultsAndOkWritesAllSixValues)
{
    KestrelSettingDialog dialog(store, messages);
    EXPECT_TRUE(store.KeyExists(kSettings)) << "opening the dialog creates the key path";
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ORVA Kestrel Settings"));
    EXPECT_FALSE(dialog.windowIcon().pixmap(32, 32).isNull()) << "the icon must be built in";
    auto *slider = Control<QSlider>(dialog, "1008");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->pageStep(), 10);
    EXPECT_EQ(slider->tickInterval(), 10);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(Control<QLabel>(dialog, "1017")->text(), QStringLiteral("0%"));
    auto *position = Control<QComboBox>(dialog, "1009");
    ASSERT_EQ(position->count(), 5);
    EXPECT_EQ(position->currentText(), QStringLiteral("Top/Right"));
    EXPECT_EQ(position->itemText(4), QStringLiteral("User Input"));
    EXPECT_FALSE(Control<QLineEdit>(dialog, "1011")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(dialog, "1011")->text(), QStringLiteral("0"));
    EXPECT_FALSE(Control<QLineEdit>(dialog, "1010")->isEnabled());
    EXPECT_EQ(Control<HotKeyEdit>(dialog, "1021")->Value(), (HotKey{'V', kHotKeyControl | kHotKeyAlt}));

    PressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.shown.empty());
    for (const char *name : {"Transparency", "PositionIndex", "PosX", "PosY"})
        EXPECT_EQ(store.ReadValue(kSettings, name), ProfileValue(0u)) << name;
    EXPECT_EQ(store.ReadValue(kSettings, "Key"), ProfileValue(0x56u));
    EXPECT_EQ(store.ReadValue(kSettings, "Modifier"), ProfileValue(6u));
}

TEST_F(KestrelSettingDialogTest, StoredValuesAreShownAndSavedBackUnchanged)
{
    const OverlaySettings stored{35, 4, -12, 480, static_cast<std::int32_t>(0x12340074u), 0x01};
    StoreSettings(store, stored);
    KestrelSettingDialog dialog(store, messages);
    EXPECT_EQ(Control<QSlider>(dialog, "1008")->value(), 35);
    EXPECT_EQ(Control<QLabel>(dialog, "1017")->text(), QStringLiteral("35%"));
    EXPECT_EQ(Control<QComboBox>(dialog, "1009")->currentIndex(), 4);
    EXPECT_TRUE(Control<QLineEdit>(dialog, "1011")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(dialog, "1011")->text(), QStringLiteral("-12"));
    EXPECT_EQ(Control<QLineEdit>(dialog, "1010")->text(), QStringLiteral("480"));
    EXPECT_EQ(Control<HotKeyEdit>(dialog, "1021")->Value(), (HotKey{0x74, kHotKeyShift}));
    PressOk(dialog);
    EXPECT_EQ(StoredSettings(store), stored) << "high bits of Key must survive the dialog";
}

TEST_F(KestrelSettingDialogTest, ControlsChangedByTheUserAreSavedOnOkAndNothingOnCancel)
{
    const OverlaySettings stored{20, 1, 7, 8, 'V', 6};
    StoreSettings(store, stored);
    for (bool confirm : {false, true}) {
        KestrelSettingDialog dialog(store, messages);
        auto *slider = Control<QSlider>(dialog, "1008");
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(Control<QLabel>(dialog, "1017")->text(), QStringLiteral("30%")) << "the text follows the slider";
        Control<QComboBox>(dialog, "1009")->setCurrentIndex(4);
        EXPECT_TRUE(Control<QLineEdit>(dialog, "1011")->isEnabled()) << "User Input enables X and Y at once";
        Control<QLineEdit>(dialog, "1011")->setText(QStringLiteral("640"));
        Control<HotKeyEdit>(dialog, "1021")->SetValue({});
        if (!confirm) {
            Control<QPushButton>(dialog, "2")->click();
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
            EXPECT_EQ(StoredSettings(store), stored);
        } else {
            PressOk(dialog);
            EXPECT_EQ(StoredSettings(store), (OverlaySettings{30, 4, 640, 8, 0, 0}))
                << "a cleared hot key is stored as 0/0";
        }
    }
    KestrelSettingDialog reopened(store, messages);
    EXPECT_TRUE(Control<HotKeyEdit>(reopened, "1021")->Value().IsEmpty()) << "0/0 must not become the default";
}

TEST_F(KestrelSettingDialogTest, NoPositionSelectedIsKeptAsMinusOne)
{
    StoreSettings(store, {0, -1, 5, 5, 'V', 6});
    KestrelSettingDialog dialog(store, messages);
    EXPECT_EQ(Control<QComboBox>(dialog, "1009")->currentIndex(), -1);
    EXPECT_FALSE(Control<QLineEdit>(dialog, "1011")->isEnabled());
    PressOk(dialog);
    EXPECT_EQ(store.ReadValue(kSettings, "PositionIndex"), ProfileValue(0xFFFFFFFFu));
}

TEST_F(KestrelSettingDialogTest, InvalidIntegerWarnsTwiceSavesTheRestAndKeepsTheDialogOpen)
{
    StoreSettings(store, {0, 4, 11, 22, 'V', 6});
    KestrelSettingDialog dialog(store, messages);
    dialog.show();
    Control<QSlider>(dialog, "1008")->setValue(50);
    Control<QLineEdit>(dialog, "1011")->setText(QStringLiteral("33"));
    Control<QLineEdit>(dialog, "1010")->setText(QString());
    PressOk(dialog);
    ASSERT_EQ(messages.shown.size(), 2u) << "once while saving, once when closing";
    EXPECT_EQ(messages.shown[0].text, "Please enter an integer.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(StoredSettings(store), (OverlaySettings{50, 4, 33, 22, 'V', 6}))
        << "X, read before the failing Y, is saved; Y keeps its previous value";

    messages.shown.clear();
    Control<QLineEdit>(dialog, "1011")->setText(QStringLiteral("99999999999"));
    Control<QLineEdit>(dialog, "1010")->setText(QStringLiteral("44"));
    PressOk(dialog);
    EXPECT_EQ(messages.shown.size(), 2u) << "a number beyond 32 bits is not an integer";
    EXPECT_EQ(StoredSettings(store).posY, 22) << "after a failing X, Y is not read";

    messages.shown.clear();
    Control<QLineEdit>(dialog, "1011")->setText(QStringLiteral("1"));
    PressOk(dialog);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(StoredSettings(store), (OverlaySettings{50, 4, 1, 44, 'V', 6}));
}

TEST_F(KestrelSettingDialogTest, PositionFieldsTakeDigitsAndKeepNegativeValuesEditable)
{
    StoreSettings(store, {0, 4, -12, 0, 'V', 6});
    KestrelSettingDialog dialog(store, messages);
    auto *x = Control<QLineEdit>(dialog, "1011");
    x->setFocus();
    x->end(false);
    x->backspace();
    EXPECT_EQ(x->text(), QStringLiteral("-1")) << "a digit of a negative value must be removable";
    QTest::keyClicks(x, QStringLiteral("a5."));
    EXPECT_EQ(x->text(), QStringLiteral("-15")) << "letters and points are not taken";
}

TEST_F(KestrelSettingDialogTest, EscapeClosesWithoutSaving)
{
    KestrelSettingDialog dialog(store, messages);
    dialog.show();
    Control<QSlider>(dialog, "1008")->setValue(90);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(store.ReadValue(kSettings, "Transparency"));
}

TEST_F(KestrelSettingDialogTest, AboutEntryOpensTheAboutBox)
{
    KestrelSettingDialog dialog(store, messages);
    auto *about = Control<QPushButton>(dialog, "about");
    EXPECT_EQ(about->text(), QStringLiteral("&About KestrelSetting..."));
    QString title;
    QString lines;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QLabel *label : box->findChildren<QLabel *>())
            lines += label->text();
        box->findChild<QPushButton *>(QStringLiteral("1"))->click();
    });
    about->click();
    EXPECT_EQ(title, QStringLiteral("About ORVA Kestrel Setting"));
    EXPECT_TRUE(lines.contains(QStringLiteral("ORVA Kestrel Setting Program Version 1.0")));
}

TEST_F(KestrelSettingDialogTest, TraditionalChineseLocaleTranslatesTheDialog)
{
    EXPECT_TRUE(kestrel::platform::WantsTraditionalChinese(QLocale(QStringLiteral("zh_HK"))));
    EXPECT_FALSE(kestrel::platform::WantsTraditionalChinese(QLocale(QStringLiteral("zh_CN"))));
    QTranslator english;
    EXPECT_FALSE(kestrel::platform::InstallTranslation(english, QLocale(QStringLiteral("en_US")),
                                                       QStringLiteral(":/i18n/kestrel_setting")));
    QTranslator chinese;
    ASSERT_TRUE(kestrel::platform::InstallTranslation(chinese, QLocale(QStringLiteral("zh_TW")),
                                                      QStringLiteral(":/i18n/kestrel_setting")));
    KestrelSettingDialog dialog(store, messages);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("ORVA Kestrel 設定"));
    EXPECT_EQ(Control<QComboBox>(dialog, "1009")->itemText(0), QString::fromUtf8("右上"));
    QCoreApplication::removeTranslator(&chinese);
}

TEST_F(KestrelSettingDialogTest, DialogAndFileStoreAgreeAcrossPrograms)
{
    kestrel::testing::TemporaryDirectory directory;
    kestrel::platform::FileProfileStore file(directory.Path() / "kestrel.reg");
    SaveOverlaySettings(file, {65, 2, 0, 0, 0x7B, 0x05});
    file.CreateKey("Software\\ORVA\\Kestrel\\Settings");
    file.WriteValue(kSettings, "VideoInputDevice", ProfileValue(std::string("USB Camera")));
    const std::string d3d = "Software\\ORVA\\nVidia\\Device0\\StereoGlasses\\D3D";
    file.CreateKey(d3d);
    file.WriteValue(d3d, "HotkeyValue", ProfileValue(0x3Fu));
    {
        KestrelSettingDialog dialog(file, messages);
        EXPECT_EQ(Control<QSlider>(dialog, "1008")->value(), 65);
        EXPECT_EQ(Control<QComboBox>(dialog, "1009")->currentIndex(), 2);
        EXPECT_EQ(Control<HotKeyEdit>(dialog, "1021")->Value(), (HotKey{0x7B, 0x05}));
        Control<QSlider>(dialog, "1008")->setValue(70);
        PressOk(dialog);
    }
    kestrel::platform::FileProfileStore otherProgram(directory.Path() / "kestrel.reg");
    OverlaySettings seen;
    LoadOverlaySettings(otherProgram, seen);
    EXPECT_EQ(seen, (OverlaySettings{70, 2, 0, 0, 0x7B, 0x05}));
    EXPECT_EQ(otherProgram.ReadValue(kSettings, "VideoInputDevice"), ProfileValue(std::string("USB Camera")))
        << "values of the main program in the same key are left alone";
    EXPECT_EQ(otherProgram.ReadValue(d3d, "HotkeyValue"), ProfileValue(0x3Fu)) << "the tool never writes the OSD key";
    EXPECT_FALSE(otherProgram.ReadValue(d3d, "HotkeyEnable"));
}

} // namespace
