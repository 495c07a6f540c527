#include "media/pages/AudioDlg.h"
#include "media/pages/VideoDlg.h"
#include "platform/store/AppProfile.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/MemoryProfileStore.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/media/devices/FakeCamera.h"
#include "tests/media/devices/FakeRouters.h"
#include "tests/media/mixer/FakeMixer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

namespace kestrel::media::pages {
namespace {

using crossbar::connector::VideoComposite;
using crossbar::connector::VideoSVideo;
using crossbar::connector::VideoTuner;
using devices::test::FakeDevices;
using devices::test::FakeRouters;
using mixer::test::FakeMixerDevices;
using Log = std::vector<std::string>;

template <typename Widget>
Widget *Control(const QWidget &page, const char *id)
{
    auto *widget = page.findChild<Widget *>(QString::fromLatin1(id));
    EXPECT_NE(widget, nullptr) << "no control " << id;
    return widget;
}

QStringList Items(const QComboBox &list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items << list.itemText(i);
    return items;
}

// The devices, inputs, mixer and profile the pages see.
class CapturePages : public ::testing::Test {
protected:
    void SetUp() override { test::InitGstreamerForMediaTests(); }

    devices::CaptureSources Sources() { return {devices, routers, mixers}; }
    void Save(const std::string &camera, int input)
    {
        profile.WriteProfileString("Settings", "VideoInputDevice", camera);
        profile.WriteProfileInt("Settings", "VideoInputDeviceIndex", input);
    }
    std::string SavedCamera() { return profile.GetProfileString("Settings", "VideoInputDevice", "(none)"); }
    int SavedInput() { return profile.GetProfileInt("Settings", "VideoInputDeviceIndex", -99); }
    const Log &Routed() const { return *routers.log; }

    FakeDevices devices;
    FakeRouters routers;
    FakeMixerDevices mixers;
    platform::MemoryProfileStore store;
    platform::AppProfile profile{store};
};

using VideoPage = CapturePages;

TEST_F(VideoPage, StartsEnabledAt176x144WithEmptyDisabledCameraLists)
{
    CVideoDlg page(Sources(), store);
    EXPECT_EQ(page.objectName(), QStringLiteral("133"));
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Video"));
    EXPECT_TRUE(page.Enable());
    EXPECT_EQ(page.Width(), 176);
    EXPECT_EQ(page.Height(), 144);
    EXPECT_EQ(devices.enumerations, 0) << "nothing is listed before a camera is needed";
    for (const char *id : {"1003", "1006"})
        EXPECT_FALSE(Control<QComboBox>(page, id)->isEnabled()) << id;
    EXPECT_EQ(Control<QRadioButton>(page, "1004")->text(), QStringLiteral("176x144"));
    EXPECT_EQ(Control<QRadioButton>(page, "1005")->text(), QStringLiteral("352x288"));
    EXPECT_EQ(Control<QCheckBox>(page, "1013")->text(), QStringLiteral("Enable"));
}

TEST_F(VideoPage, WithoutACameraEnableIsClearedTheListsStayEmptyAndTheNextOpeningLooksAgain)
{
    CVideoDlg page(Sources(), store);
    EXPECT_EQ(page.ChooseDefaultDevice(), 1);
    page.OnInitDialog();
    EXPECT_FALSE(page.Enable());
    EXPECT_FALSE(Control<QCheckBox>(page, "1013")->isChecked());
    for (const char *id : {"1003", "1006"}) {
        EXPECT_EQ(Control<QComboBox>(page, id)->count(), 0) << id;
        EXPECT_FALSE(Control<QComboBox>(page, id)->isEnabled()) << id;
    }
    EXPECT_EQ(page.ChosenDevice(), nullptr);
    page.OnOK();
    EXPECT_EQ(SavedCamera(), "(none)") << "OK without cameras stores nothing";

    devices.Add("USB Camera"); // plugged in later: seen, since none was found before
    page.OnInitDialog();
    ASSERT_NE(page.ChosenDevice(), nullptr);
    EXPECT_EQ(page.ChosenDevice()->Name(), "USB Camera");
    EXPECT_EQ(Items(*Control<QComboBox>(page, "1003")), QStringList{"USB Camera"});
}

TEST_F(VideoPage, TheSavedCameraIsChosenWithItsSavedInputRouted)
{
    devices.Add("USB Camera");
    devices.Add("TV Card");
    routers.GiveInputs("TV Card", {VideoComposite, VideoSVideo, VideoTuner});
    Save("TV Card", 2);
    CVideoDlg page(Sources(), store);
    EXPECT_EQ(page.ChooseDefaultDevice(), 0);
    ASSERT_NE(page.ChosenDevice(), nullptr);
    EXPECT_EQ(page.ChosenDevice()->Name(), "TV Card");
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-2"}));
    EXPECT_EQ(page.ChooseDefaultDevice(), 1) << "already chosen";

    page.OnInitDialog();
    auto *cameras = Control<QComboBox>(page, "1003");
    auto *inputs = Control<QComboBox>(page, "1006");
    EXPECT_EQ(Items(*cameras), (QStringList{"USB Camera", "TV Card"}));
    EXPECT_EQ(cameras->currentIndex(), 1);
    EXPECT_TRUE(inputs->isEnabled());
    EXPECT_EQ(Items(*inputs), (QStringList{"Video Composite", "Video SVideo", "Video Tuner"}));
    EXPECT_EQ(inputs->currentIndex(), 2) << "the saved input is the camera's";
    EXPECT_EQ(devices.enumerations, 1);
}

TEST_F(VideoPage, AProfileWithoutTheKeysTakesTheFirstCameraAndInput0)
{
    devices.Add("TV Card");
    devices.Add("USB Camera");
    routers.GiveInputs("TV Card", {VideoTuner, VideoComposite});
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    EXPECT_EQ(page.ChosenDevice()->Name(), "TV Card");
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-0"}));
    EXPECT_EQ(Control<QComboBox>(page, "1006")->currentIndex(), 0);
    EXPECT_TRUE(page.Enable());
}

TEST_F(VideoPage, ASavedNameOfNoListedCameraStillRoutesTheSavedInputOnTheFirst)
{
    devices.Add("TV Card");
    routers.GiveInputs("TV Card", {VideoTuner, VideoComposite});
    Save("Camera That Was Unplugged", 1);
    CVideoDlg page(Sources(), store);
    page.ChooseDefaultDevice();
    EXPECT_EQ(page.ChosenDevice()->Name(), "TV Card");
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-1"}));
    page.OnInitDialog();
    EXPECT_EQ(Control<QComboBox>(page, "1006")->currentIndex(), 0) << "the entry kept its own input";

    Save("Camera That Was Unplugged", 5);
    CVideoDlg other(Sources(), store);
    routers.log->clear();
    other.ChooseDefaultDevice();
    EXPECT_TRUE(Routed().empty()) << "an input out of range is not routed";
}

TEST_F(VideoPage, ACameraWithoutInputsToChooseStoresInputMinusOne)
{
    devices.Add("USB Camera");
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    auto *inputs = Control<QComboBox>(page, "1006");
    EXPECT_FALSE(inputs->isEnabled());
    EXPECT_EQ(inputs->count(), 0);
    EXPECT_TRUE(Control<QComboBox>(page, "1003")->isEnabled());
    page.OnOK();
    EXPECT_EQ(SavedCamera(), "USB Camera");
    EXPECT_EQ(SavedInput(), -1);
}

TEST_F(VideoPage, AStoredMinusOneShowsNoInputAndRoutesTheFirst)
{
    devices.Add("TV Card");
    routers.GiveInputs("TV Card", {VideoSVideo, VideoComposite});
    Save("TV Card", -1);
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-0"}));
    EXPECT_EQ(Control<QComboBox>(page, "1006")->currentIndex(), -1);
    page.OnOK();
    EXPECT_EQ(SavedInput(), -1);
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-0", "TV Card 0<-0"}));
}

TEST_F(VideoPage, AnotherCameraShowsItsInputsAtOnceAndBecomesTheChoiceOnOk)
{
    devices.Add("USB Camera");
    devices.Add("TV Card");
    routers.GiveInputs("TV Card", {VideoTuner, VideoComposite, VideoSVideo});
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    auto *cameras = Control<QComboBox>(page, "1003");
    auto *inputs = Control<QComboBox>(page, "1006");
    EXPECT_FALSE(inputs->isEnabled());

    cameras->setCurrentIndex(1);
    EXPECT_TRUE(inputs->isEnabled());
    EXPECT_EQ(Items(*inputs), (QStringList{"Video Tuner", "Video Composite", "Video SVideo"}));
    EXPECT_EQ(page.ChosenDevice()->Name(), "USB Camera") << "not before OK";
    inputs->setCurrentIndex(2);
    page.OnOK();
    EXPECT_EQ(page.ChosenDevice()->Name(), "TV Card");
    EXPECT_EQ(SavedCamera(), "TV Card");
    EXPECT_EQ(SavedInput(), 2);
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-2"}));
    EXPECT_EQ(page.Router(), nullptr) << "OK lets go of the inputs";

    page.OnInitDialog();
    EXPECT_EQ(cameras->currentIndex(), 1);
    EXPECT_EQ(inputs->currentIndex(), 2);
    EXPECT_EQ(devices.enumerations, 1) << "listed once per run";
}

TEST_F(VideoPage, TheChosenCameraAndInputSurviveARestart)
{
    devices.Add("USB Camera");
    devices.Add("TV Card");
    devices.Add("Capture Stick");
    routers.GiveInputs("TV Card", {VideoTuner, VideoComposite, VideoSVideo});
    routers.GiveInputs("Capture Stick", {VideoComposite, VideoSVideo});
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const std::filesystem::path file = home.filePath(QStringLiteral("kestrel.reg")).toStdString();
    {
        platform::FileProfileStore saved(file);
        CVideoDlg page(Sources(), saved);
        page.OnInitDialog();
        Control<QComboBox>(page, "1003")->setCurrentIndex(1);
        Control<QComboBox>(page, "1006")->setCurrentIndex(1);
        page.OnOK();
    }
    routers.log->clear();
    platform::FileProfileStore restarted(file);
    CVideoDlg page(Sources(), restarted);
    EXPECT_EQ(page.ChooseDefaultDevice(), 0);
    EXPECT_EQ(page.ChosenDevice()->Name(), "TV Card");
    EXPECT_EQ(Routed(), (Log{"TV Card 0<-1"}));
    page.OnInitDialog();
    EXPECT_EQ(Control<QComboBox>(page, "1006")->currentIndex(), 1);
}

TEST_F(VideoPage, CancelKeepsTheChoiceAndStoresNothing)
{
    devices.Add("USB Camera");
    devices.Add("TV Card");
    routers.GiveInputs("TV Card", {VideoTuner, VideoComposite});
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    Control<QComboBox>(page, "1003")->setCurrentIndex(1);
    Control<QComboBox>(page, "1006")->setCurrentIndex(1);
    ASSERT_NE(page.Router(), nullptr);
    page.OnCancel();
    EXPECT_EQ(page.Router(), nullptr);
    EXPECT_EQ(page.ChosenDevice()->Name(), "USB Camera");
    EXPECT_EQ(SavedCamera(), "(none)");
    EXPECT_TRUE(Routed().empty());
}

TEST_F(VideoPage, ACameraPluggedInAfterTheChoiceIsNotListed)
{
    devices.Add("USB Camera");
    CVideoDlg page(Sources(), store);
    page.OnInitDialog();
    devices.Add("New Camera");
    page.OnInitDialog();
    EXPECT_EQ(Items(*Control<QComboBox>(page, "1003")), QStringList{"USB Camera"});
    EXPECT_EQ(devices.enumerations, 1);
}

TEST_F(VideoPage, SizeRadiosSetTheSizeOnOkOnly)
{
    CVideoDlg page(Sources(), store);
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

using AudioPage = CapturePages;

class AudioPageWithMixer : public AudioPage {
protected:
    void SetUp() override
    {
        AudioPage::SetUp();
        devices.Add("Headset Microphone", DeviceCategory::Audio);
        devices.Add("Webcam Microphone", DeviceCategory::Audio);
        mixers.card.AddSource(mixer::kComponentSrcUndefined, "Line In", 65535u, {65535});
        microphone = &mixers.card.AddSource(mixer::kComponentSrcMicrophone, "Mic", 65535u, {32767, 32767}, false);
        mixers.card.AddSelector(mixer::kControlMixer, {{0x100, "Line In"}, {0x101, "Mic"}}, {true, false});
    }

    mixer::test::FakeMixerCard::Source *microphone = nullptr;
};

TEST_F(AudioPage, StartsEnabledWithTheLevelSliderReadyButIdle)
{
    CAudioDlg page(Sources());
    EXPECT_EQ(page.objectName(), QStringLiteral("134"));
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Audio"));
    EXPECT_TRUE(page.Enable());
    auto *slider = Control<QSlider>(page, "1010");
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->tickInterval(), 10);
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(devices.enumerations, 0);
}

TEST_F(AudioPage, WithoutAMicrophoneEnableIsClearedAndTheLevelIsLeftAlone)
{
    auto &mic = mixers.card.AddSource(mixer::kComponentSrcMicrophone, "Mic", 100u, {80});
    CAudioDlg page(Sources());
    page.OnInitDialog();
    EXPECT_FALSE(page.Enable());
    EXPECT_FALSE(Control<QCheckBox>(page, "1008")->isChecked());
    EXPECT_EQ(Control<QComboBox>(page, "1007")->count(), 0);
    EXPECT_FALSE(Control<QComboBox>(page, "1007")->isEnabled());
    EXPECT_FALSE(Control<QSlider>(page, "1010")->isEnabled());
    page.OnOK();
    EXPECT_EQ(mic.values[0], 80u) << "no level was shown, so none is written";
    EXPECT_EQ(page.ChosenDevice(), nullptr);
}

TEST_F(AudioPageWithMixer, TheFirstMicrophoneIsChosenAndMadeTheRecordingSource)
{
    CAudioDlg page(Sources());
    EXPECT_EQ(page.ChooseDefaultDevice(), 0);
    EXPECT_EQ(page.ChosenDevice()->Name(), "Headset Microphone");
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true}));
    EXPECT_EQ(mixers.card.volumeWrites, 0) << "the level is only read";
    EXPECT_EQ(page.ChooseDefaultDevice(), 1);
    EXPECT_EQ(mixers.card.openHandles, 0);
}

TEST_F(AudioPageWithMixer, OpeningShowsTheLevelWithoutWritingIt)
{
    CAudioDlg page(Sources());
    page.OnInitDialog();
    auto *list = Control<QComboBox>(page, "1007");
    EXPECT_EQ(Items(*list), (QStringList{"Headset Microphone", "Webcam Microphone"}));
    EXPECT_EQ(list->currentIndex(), 0);
    auto *slider = Control<QSlider>(page, "1010");
    EXPECT_TRUE(slider->isEnabled());
    EXPECT_EQ(slider->value(), 49);
    EXPECT_EQ(mixers.card.volumeWrites, 0);
    EXPECT_EQ(microphone->values, (std::vector<std::uint32_t>{32767, 32767}));
    EXPECT_TRUE(page.Enable());
}

TEST_F(AudioPageWithMixer, DraggingTheSliderChangesTheLevelAtOnceAndCancelKeepsIt)
{
    CAudioDlg page(Sources());
    page.show();
    page.OnInitDialog();
    auto *slider = Control<QSlider>(page, "1010");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->value(), 100);
    EXPECT_EQ(microphone->values, (std::vector<std::uint32_t>{65535, 65535})) << "before OK";
    slider->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(microphone->values[0], 65535u * 90 / 100);
    page.OnCancel();
    EXPECT_EQ(microphone->values[0], 65535u * 90 / 100);
}

TEST_F(AudioPageWithMixer, OkSetsTheLevelAndTheChosenMicrophone)
{
    CAudioDlg page(Sources());
    page.OnInitDialog();
    Control<QComboBox>(page, "1007")->setCurrentIndex(1);
    microphone->values = {0, 0}; // set elsewhere meanwhile
    page.OnOK();
    EXPECT_EQ(page.ChosenDevice()->Name(), "Webcam Microphone");
    EXPECT_EQ(microphone->values, (std::vector<std::uint32_t>{32112, 32112})) << "49 % of the maximum";
}

TEST_F(AudioPageWithMixer, ChoosingAnotherMicrophoneReadsTheLevelAgain)
{
    CAudioDlg page(Sources());
    page.OnInitDialog();
    microphone->values = {13107, 13107};
    mixers.card.selected = {true, false};
    Control<QComboBox>(page, "1007")->setCurrentIndex(1);
    EXPECT_EQ(Control<QSlider>(page, "1010")->value(), 20);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true}));
}

TEST_F(AudioPageWithMixer, AMicrophoneWithoutVolumeControlShowsNoLevel)
{
    microphone->volume.reset();
    CAudioDlg page(Sources());
    page.OnInitDialog();
    EXPECT_FALSE(Control<QSlider>(page, "1010")->isEnabled());
    page.OnOK();
    EXPECT_EQ(mixers.card.volumeWrites, 0);
    EXPECT_EQ(mixers.card.selected, (std::vector<bool>{false, true})) << "the source is still selected";
}

TEST_F(AudioPage, EnableSetOnAnotherThreadShowsTheNextTimeThePageIsShown)
{
    devices.Add("Headset Microphone", DeviceCategory::Audio);
    CAudioDlg page(Sources());
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
} // namespace kestrel::media::pages
