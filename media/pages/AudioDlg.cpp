#include "media/pages/AudioDlg.h"

#include "media/mixer/RecordVolume.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScopedValueRollback>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::media::pages {

namespace {

constexpr int kVolumeMax = mixer::kLevelScale;
constexpr int kVolumeTick = 10;

} // namespace

CAudioDlg::CAudioDlg(const devices::CaptureSources &sources, QWidget *parent) : CCapturePage(parent), sources_(sources)
{
    setObjectName(QStringLiteral("134"));
    setWindowTitle(tr("Audio"));

    deviceList_ = new QComboBox(this);
    deviceList_->setObjectName(QStringLiteral("1007"));
    auto *enableBox = new QCheckBox(tr("Enable"), this);
    enableBox->setObjectName(QStringLiteral("1008"));
    SetEnableBox(enableBox);

    auto *volumeGroup = new QGroupBox(tr("Record Volume"), this);
    volumeSlider_ = new QSlider(Qt::Horizontal, volumeGroup);
    volumeSlider_->setObjectName(QStringLiteral("1010"));
    volumeSlider_->setRange(0, kVolumeMax);
    volumeSlider_->setTickInterval(kVolumeTick);
    volumeSlider_->setTickPosition(QSlider::TicksBelow);
    volumeSlider_->setEnabled(false); // until the mixer gives a level
    auto *volumeLayout = new QVBoxLayout(volumeGroup);
    volumeLayout->addWidget(volumeSlider_);

    auto *deviceLabel = new QLabel(tr("Audio Device"), this);
    deviceLabel->setBuddy(deviceList_);
    auto *layout = new QGridLayout(this);
    layout->addWidget(deviceLabel, 0, 0);
    layout->addWidget(deviceList_, 0, 1);
    layout->addWidget(enableBox, 1, 0, 1, 2);
    layout->addWidget(volumeGroup, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);

    deviceList_->setEnabled(false);
    ShowEnable();
    connect(deviceList_, &QComboBox::currentIndexChanged, this, &CAudioDlg::OnDeviceSelected);
    // With tracking on, every step of a drag arrives here.
    connect(volumeSlider_, &QSlider::valueChanged, this, &CAudioDlg::OnSliderMoved);
}

CAudioDlg::~CAudioDlg() = default;

void CAudioDlg::EnumerateDevices()
{
    devices_.clear();
    for (std::shared_ptr<ICaptureDevice> &device : devices::ListedDevices(sources_.devices, DeviceCategory::Audio)) {
        std::string name = device->Name();
        devices_.push_back({std::move(name), std::move(device)});
    }
}

int CAudioDlg::ChooseDefaultDevice()
{
    if (chosenDevice_)
        return 1;
    EnumerateDevices();
    if (devices_.empty())
        return 1;
    chosenDevice_ = devices_.front().device;
    std::optional<int> unused;
    mixer::SelectRecordSource(sources_.mixers, mixer::GetMicLevel(sources_.mixers, unused));
    return 0;
}

void CAudioDlg::RefreshRecordLevel()
{
    std::optional<int> percent;
    const int source = mixer::GetMicLevel(sources_.mixers, percent);
    mixer::SelectRecordSource(sources_.mixers, source);
    // No level to read: nothing is shown, and the slider cannot set one.
    volumeSlider_->setEnabled(percent.has_value());
    if (percent) {
        const QScopedValueRollback filling(fillingControls_, true);
        volumeSlider_->setValue(*percent);
    }
}

void CAudioDlg::OnInitDialog()
{
    if (!chosenDevice_ && ChooseDefaultDevice() != 0) {
        // No microphone: no audio is sent; the slider stays as it was.
        SetEnable(false);
        const QScopedValueRollback filling(fillingControls_, true);
        deviceList_->clear();
        deviceList_->setEnabled(false);
        ShowEnable();
        return;
    }

    const int selection = ListDeviceEntries(*deviceList_, devices_, chosenDevice_, fillingControls_);
    chosenDevice_ = devices_[static_cast<std::size_t>(selection)].device;
    RefreshRecordLevel();
    ShowEnable();
}

void CAudioDlg::OnDeviceSelected(int index)
{
    // Every microphone is set through the same mixer.
    if (!fillingControls_ && index >= 0)
        RefreshRecordLevel();
}

void CAudioDlg::OnSliderMoved(int percent)
{
    if (!fillingControls_)
        mixer::SetMicLevel(sources_.mixers, percent);
}

void CAudioDlg::OnOK()
{
    const int selection = deviceList_->currentIndex();
    if (!devices_.empty() && selection >= 0 && static_cast<std::size_t>(selection) < devices_.size())
        chosenDevice_ = devices_[static_cast<std::size_t>(selection)].device;
    // A slider that never showed a level would write its own 0 over the microphone's.
    if (volumeSlider_->isEnabled())
        mixer::SetMicLevel(sources_.mixers, volumeSlider_->value());
    TakeEnable();
}

} // namespace kestrel::media::pages
