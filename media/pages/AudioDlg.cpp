#include "media/pages/AudioDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::media::pages {

namespace {

constexpr int kVolumeMax = 100;
constexpr int kVolumeTick = 10;

} // namespace

CAudioDlg::CAudioDlg(QWidget *parent) : CCapturePage(parent)
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

    ShowDevices();
    ShowEnable();
}

void CAudioDlg::OnInitDialog()
{
    ShowDevices();
    ShowEnable();
}

void CAudioDlg::ShowDevices()
{
    // No microphone or mixer has been handed to the page: nothing to choose or set.
    deviceList_->clear();
    deviceList_->setEnabled(false);
    volumeSlider_->setEnabled(false);
}

void CAudioDlg::OnOK()
{
    TakeEnable();
}

} // namespace kestrel::media::pages
