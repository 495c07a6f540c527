#include "media/pages/AudioDlg.h"
#include "media/pages/VideoDlg.h"
#include "platform/ui/Translation.h"
#include "tests/ui/OptionsTestSupport.h"
#include "ui/GeneralDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTranslator>

#include <atomic>
#include <chrono>
#include <thread>

using namespace kestrel::ui;
using namespace kestrel::ui::testing;

namespace {

class OptionsTest : public SheetTest {
protected:
    QCheckBox *VideoEnable() { return Control<QCheckBox>(Page("133"), "1013"); }
    QCheckBox *AudioEnable() { return Control<QCheckBox>(Page("134"), "1008"); }
    // Opens the sheet, shows both media pages, sets their "Enable" boxes and confirms.
    void ConfirmEnables(bool video, bool audio)
    {
        Open();
        Visit(1);
        Visit(2);
        VideoEnable()->setChecked(video);
        AudioEnable()->setChecked(audio);
        PressOk();
    }
};

// Saves each page of the open sheet as <dir>/options-<language>-<page>.png when
// KESTREL_SCREENSHOT_DIR names a directory, for a person to look at.
void SaveScreenshots(COptions &sheet, QTabWidget &tabs, const QString &language)
{
    const QString dir = qEnvironmentVariable("KESTREL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    for (int i = 0; i < tabs.count(); ++i) {
        tabs.setCurrentIndex(i);
        const QString file = QDir(dir).filePath(QStringLiteral("options-%1-%2.png").arg(language).arg(i));
        EXPECT_TRUE(sheet.grab().save(file)) << file.toStdString();
    }
}

TEST_F(OptionsTest, SheetHoldsGeneralVideoAudioWithOkAndCancelOnly)
{
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Kestrel Options"));
    ASSERT_EQ(Tabs().count(), 3);
    EXPECT_EQ(Tabs().widget(0), &Page("132"));
    EXPECT_EQ(Tabs().widget(1), &Page("133"));
    EXPECT_EQ(Tabs().widget(2), &Page("134"));
    EXPECT_EQ(Tabs().tabText(0), QStringLiteral("Kestrel"));
    EXPECT_EQ(Tabs().tabText(1), QStringLiteral("Video"));
    EXPECT_EQ(Tabs().tabText(2), QStringLiteral("Audio"));
    const auto buttons = sheet.findChild<QDialogButtonBox *>()->buttons();
    ASSERT_EQ(buttons.size(), 2) << "no Apply and no Help";
    EXPECT_EQ(Control<QPushButton>(sheet, "1")->text(), QStringLiteral("OK"));
    EXPECT_EQ(Control<QPushButton>(sheet, "2")->text(), QStringLiteral("Cancel"));
    Open();
    SaveScreenshots(sheet, Tabs(), QStringLiteral("en"));
}

TEST_F(OptionsTest, EveryOpeningStartsOnGeneral)
{
    Open();
    Visit(2);
    PressCancel();
    Open();
    EXPECT_EQ(Tabs().currentIndex(), 0);
    Visit(1);
    PressOk();
    Open();
    EXPECT_EQ(Tabs().currentIndex(), 0);
}

TEST_F(OptionsTest, PageMembersKeepTheirValuesBetweenOpenings)
{
    Open();
    Visit(1);
    Control<QRadioButton>(Page("133"), "1005")->setChecked(true);
    PressOk();
    ConfirmEnables(false, true);
    EXPECT_FALSE(sheet.VideoEnabled());
    EXPECT_TRUE(sheet.AudioEnabled());

    Open();
    Visit(1);
    EXPECT_FALSE(VideoEnable()->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(Page("133"), "1005")->isChecked());
    Visit(2);
    EXPECT_TRUE(AudioEnable()->isChecked());
    PressCancel();
    int width = 0;
    int height = 0;
    sheet.GetVideoSize(width, height);
    EXPECT_EQ(width, 352);
    EXPECT_EQ(height, 288);
}

TEST_F(OptionsTest, CancelLeavesTheMediaPagesAsTheyWere)
{
    Open();
    Visit(1);
    Control<QRadioButton>(Page("133"), "1005")->setChecked(true);
    VideoEnable()->setChecked(false);
    Visit(2);
    AudioEnable()->setChecked(false);
    PressCancel();
    EXPECT_TRUE(sheet.VideoEnabled());
    EXPECT_TRUE(sheet.AudioEnabled());
    int width = 0;
    int height = 0;
    sheet.GetVideoSize(width, height);
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
    Open();
    Visit(1);
    EXPECT_TRUE(Control<QRadioButton>(Page("133"), "1004")->isChecked()) << "the page shows its members again";
    EXPECT_TRUE(VideoEnable()->isChecked());
}

TEST_F(OptionsTest, OkConfirmsOnlyThePagesShownInThisOpening)
{
    sheet.SetVideoSize(352, 288);
    Open();
    PressOk();
    int width = 0;
    int height = 0;
    sheet.GetVideoSize(width, height);
    EXPECT_EQ(width, 352) << "the Video page was never shown, so its radios were not read";

    sheet.SetVideoSize(176, 144); // as a call does
    Open();
    Visit(1);
    EXPECT_TRUE(Control<QRadioButton>(Page("133"), "1004")->isChecked());
}

TEST_F(OptionsTest, MediaMaskHasOneBitPerEnabledPageAndNeverNone)
{
    EXPECT_EQ(sheet.GetMediaMask(), 3);
    ConfirmEnables(true, false);
    EXPECT_EQ(sheet.GetMediaMask(), 1);
    ConfirmEnables(false, true);
    EXPECT_EQ(sheet.GetMediaMask(), 2);

    ConfirmEnables(false, false);
    EXPECT_FALSE(sheet.AudioEnabled());
    EXPECT_EQ(sheet.GetMediaMask(), 2) << "a call sends audio at least";
    EXPECT_TRUE(sheet.AudioEnabled()) << "and the Audio page says so from now on";
    EXPECT_EQ(sheet.GetMediaMask(), 2);
    Open();
    Visit(2);
    EXPECT_TRUE(AudioEnable()->isChecked());
}

TEST_F(OptionsTest, MediaMaskIsSafeToTakeOnTheListenerWhileTheSheetIsUsed)
{
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::atomic<int> badMasks{0};
    std::thread listener([&] {
        while (!stop.load()) {
            const int mask = sheet.GetMediaMask();
            if (mask < 1 || mask > 3)
                ++badMasks;
            ++calls;
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int rounds = 0;
    while ((rounds < 50 || calls.load() < 10000) && std::chrono::steady_clock::now() < deadline) {
        ConfirmEnables(rounds % 2 == 0, rounds % 3 == 0);
        EXPECT_GE(sheet.GetMediaMask(), 1);
        ++rounds;
    }
    stop = true;
    listener.join();
    EXPECT_GE(rounds, 50);
    EXPECT_GE(calls.load(), 10000);
    EXPECT_EQ(badMasks.load(), 0);
}

TEST_F(OptionsTest, TraditionalChineseTranslatesEveryPage)
{
    QTranslator options;
    QTranslator pages;
    QTranslator hotKeys; // the hot-key control's "None"
    const QLocale taiwan(QStringLiteral("zh_TW"));
    ASSERT_TRUE(kestrel::platform::InstallTranslation(hotKeys, taiwan, QStringLiteral(":/i18n/kestrel_setting")));
    ASSERT_TRUE(kestrel::platform::InstallTranslation(options, taiwan, QStringLiteral(":/i18n/kestrel_options")));
    ASSERT_TRUE(kestrel::platform::InstallTranslation(pages, taiwan, QStringLiteral(":/i18n/kestrel_media_pages")));
    {
        kestrel::platform::RecordingMessageBox chineseMessages;
        COptions chinese(store, chineseMessages);
        auto &tabs = *Control<QTabWidget>(chinese, "12320");
        EXPECT_EQ(tabs.tabText(0), QStringLiteral("Kestrel"));
        EXPECT_EQ(tabs.tabText(1), QString::fromUtf8("視訊"));
        EXPECT_EQ(tabs.tabText(2), QString::fromUtf8("音訊"));
        EXPECT_EQ(Control<QPushButton>(chinese, "1")->text(), QString::fromUtf8("確定"));
        EXPECT_EQ(Control<QComboBox>(chinese, "1012")->itemText(0), QString::fromUtf8("右上"));
        EXPECT_EQ(Control<QCheckBox>(chinese, "1018")->text(), QString::fromUtf8("啟用"));
        EXPECT_EQ(Control<QCheckBox>(chinese, "1013")->text(), QString::fromUtf8("啟用"));
        QStringList groups;
        for (QGroupBox *group : chinese.findChildren<QGroupBox *>())
            groups << group->title();
        EXPECT_TRUE(groups.contains(QString::fromUtf8("OSD 快速鍵")));
        EXPECT_TRUE(groups.contains(QString::fromUtf8("錄音音量")));

        chinese.show();
        Control<QLineEdit>(chinese, "1014")->setText(QString());
        Control<QPushButton>(chinese, "1")->click();
        ASSERT_EQ(chineseMessages.shown.size(), 1u);
        EXPECT_EQ(chineseMessages.shown[0].text, "請輸入整數。");
        Control<QLineEdit>(chinese, "1014")->setText(QStringLiteral("0"));
        SaveScreenshots(chinese, tabs, QStringLiteral("zh_TW"));
        chinese.reject();
    }
    QCoreApplication::removeTranslator(&pages);
    QCoreApplication::removeTranslator(&options);
    QCoreApplication::removeTranslator(&hotKeys);
}

} // namespace
