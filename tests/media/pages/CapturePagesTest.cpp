#include "media/pages/AudioDlg.h"
#include "media/pages/VideoDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <gtest/gtest.h>

#include <thread>

using kestrel::media::pages::CAudioDlg;
using kestrel::media::pages::CVideoDlg;

namespace {

template <typename Widget>
Widget *Control(const QWidget &page, const char *id)
{
    auto *widget = page.findChild<Widget *>(QString::fromLatin1(id));
    EXPECT_NE(widget, nullptr) << "no control " << id;
    return widget;
}

TEST(VideoPage, StartsEnabledAt176x144WithEmptyDisabledCameraLists)
{
    CVideoDlg page;
    EXPECT_EQ(page.objectName(), QStringLiteral("133"));
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Video"));
    EXPECT_TRUE(page.Enable());
    EXPECT_EQ(page.Width(), 176);
    EXPECT_EQ(page.Height(), 144);
    page.OnInitDialog();
    for (const char *id : {"1003", "1006"}) {
        EXPECT_FALSE(Control<QComboBox>(page, id)->isEnabled()) << id;
        EXPECT_EQ(Control<QComboBox>(page, id)->count(), 0) << id;
    }
    EXPECT_TRUE(Control<QRadioButton>(page, "1004")->isChecked());
    EXPECT_EQ(Control<QRadioButton>(page, "1004")->text(), QStringLiteral("176x144"));
    EXPECT_EQ(Control<QRadioButton>(page, "1005")->text(), QStringLiteral("352x288"));
    EXPECT_TRUE(Control<QCheckBox>(page, "1013")->isChecked());
    EXPECT_EQ(Control<QCheckBox>(page, "1013")->text(), QStringLiteral("Enable"));
}

TEST(VideoPage, SizeRadiosSetTheSizeOnOkOnly)
{
    CVideoDlg page;
    page.OnInitDialog();
    auto *large = Control<QRadioButton>(page, "1005");
    large->setChecked(true);
    EXPECT_FALSE(Control<QRadioButton>(page, "1004")->isChecked()) << "the pair is one group";
    EXPECT_EQ(page.Width(), 176) << "not before OK";
    page.OnOK();
    EXPECT_EQ(page.Width(), 352);
    EXPECT_EQ(page.Height(), 288);

    page.SetSize(176, 144); // a call sends the small size and sets the page to it
    page.OnInitDialog();
    EXPECT_TRUE(Control<QRadioButton>(page, "1004")->isChecked());
    page.OnOK();
    EXPECT_EQ(page.Width(), 176);
    EXPECT_EQ(page.Height(), 144);
}

TEST(AudioPage, StartsEnabledWithTheLevelSliderReadyButIdle)
{
    CAudioDlg page;
    EXPECT_EQ(page.objectName(), QStringLiteral("134"));
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Audio"));
    EXPECT_TRUE(page.Enable());
    page.OnInitDialog();
    EXPECT_FALSE(Control<QComboBox>(page, "1007")->isEnabled());
    EXPECT_EQ(Control<QComboBox>(page, "1007")->count(), 0);
    auto *slider = Control<QSlider>(page, "1010");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->tickInterval(), 10);
    EXPECT_FALSE(slider->isEnabled()) << "there is no mixer to set";
    auto *enable = Control<QCheckBox>(page, "1008");
    EXPECT_TRUE(enable->isChecked());
    enable->setChecked(false);
    page.OnOK();
    EXPECT_FALSE(page.Enable());
}

TEST(AudioPage, EnableSetOnAnotherThreadShowsTheNextTimeThePageIsShown)
{
    CAudioDlg page;
    page.show();
    page.OnInitDialog();
    auto *enable = Control<QCheckBox>(page, "1008");
    enable->setChecked(false);
    page.OnOK();
    page.hide();
    std::thread listener([&page] { page.SetEnable(true); });
    listener.join();
    EXPECT_TRUE(page.Enable());
    EXPECT_FALSE(enable->isChecked()) << "the check box is not touched from the listener";
    page.show();
    EXPECT_TRUE(enable->isChecked());

    enable->setChecked(false); // the user's edit, not yet confirmed
    page.hide();
    page.show();
    EXPECT_FALSE(enable->isChecked()) << "showing again without a change from outside keeps the edit";
}

} // namespace
