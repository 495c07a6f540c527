#include "media/pages/VideoDlg.h"

#include "media/pages/WaitCursor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScopedValueRollback>

namespace kestrel::media::pages {

namespace {

constexpr const char *kSettings = "Settings";
constexpr const char *kVideoInputDevice = "VideoInputDevice";
constexpr const char *kVideoInputDeviceIndex = "VideoInputDeviceIndex";
constexpr std::size_t kInputNameLength = 255;

} // namespace

CVideoDlg::CVideoDlg(const devices::CaptureSources &sources, platform::IProfileStore &store, QWidget *parent)
    : CCapturePage(parent), sources_(sources), profile_(store)
{
    setObjectName(QStringLiteral("133"));
    setWindowTitle(tr("Video"));

    deviceList_ = new QComboBox(this);
    deviceList_->setObjectName(QStringLiteral("1003"));
    inputList_ = new QComboBox(this);
    inputList_->setObjectName(QStringLiteral("1006"));
    smallSize_ = new QRadioButton(tr("176x144"), this);
    smallSize_->setObjectName(QStringLiteral("1004"));
    largeSize_ = new QRadioButton(tr("352x288"), this);
    largeSize_->setObjectName(QStringLiteral("1005"));
    auto *sizes = new QButtonGroup(this); // the pair behaves as one group
    sizes->addButton(smallSize_);
    sizes->addButton(largeSize_);
    auto *enableBox = new QCheckBox(tr("Enable"), this);
    enableBox->setObjectName(QStringLiteral("1013"));
    SetEnableBox(enableBox);

    auto *deviceLabel = new QLabel(tr("Video Device"), this);
    deviceLabel->setBuddy(deviceList_);
    auto *inputLabel = new QLabel(tr("Device Input"), this);
    inputLabel->setBuddy(inputList_);
    auto *layout = new QGridLayout(this);
    layout->addWidget(deviceLabel, 0, 0);
    layout->addWidget(deviceList_, 0, 1);
    layout->addWidget(inputLabel, 1, 0);
    layout->addWidget(inputList_, 1, 1);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(smallSize_);
    sizeRow->addWidget(largeSize_);
    sizeRow->addStretch(1);
    layout->addWidget(new QLabel(tr("Video Size"), this), 2, 0);
    layout->addLayout(sizeRow, 2, 1);
    layout->addWidget(enableBox, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(4, 1);

    ShowNoDevices();
    smallSize_->setChecked(true);
    ShowEnable();
    connect(deviceList_, &QComboBox::currentIndexChanged, this, &CVideoDlg::OnDeviceSelected);
}

CVideoDlg::~CVideoDlg() = default;

void CVideoDlg::SetSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void CVideoDlg::EnumerateDevices()
{
    devices_.clear();
    for (std::shared_ptr<ICaptureDevice> &device : devices::ListedDevices(sources_.devices, DeviceCategory::Video)) {
        std::string name = device->Name();
        devices_.push_back({std::move(name), std::move(device), 0});
    }
}

int CVideoDlg::ChooseDefaultDevice()
{
    if (chosenDevice_)
        return 1;
    EnumerateDevices();
    if (devices_.empty())
        return 1;
    const std::string savedName = profile_.GetProfileString(kSettings, kVideoInputDevice, devices_.front().name);
    const int savedInput = profile_.GetProfileInt(kSettings, kVideoInputDeviceIndex, 0);

    std::size_t chosen = 0;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].name == savedName) {
            devices_[i].inputIndex = savedInput;
            chosen = i;
            break;
        }
    }
    chosenDevice_ = devices_[chosen].device;
    PrepareInputs(static_cast<int>(chosen));
    // A name that matched no camera still routes its input on the first one.
    if (router_ && router_->CountInputs() > 0 && savedInput < router_->CountInputs())
        router_->RouteInput(savedInput);
    return 0;
}

void CVideoDlg::PrepareInputs(int index)
{
    router_.reset(); // the old router lets go of its device first
    if (index < 0 || static_cast<std::size_t>(index) >= devices_.size())
        return;
    router_ = sources_.routers.MakeRouter(*devices_[static_cast<std::size_t>(index)].device);
}

void CVideoDlg::FillInputList(int index)
{
    inputList_->clear();
    if (!router_) {
        inputList_->setEnabled(false);
        return;
    }
    const int count = router_->CountInputs();
    inputList_->setEnabled(true);
    for (int i = 0; i < count; ++i) {
        char name[kInputNameLength] = {};
        router_->DescribeInput(i, name, sizeof name);
        inputList_->addItem(QString::fromUtf8(name));
    }
    if (count == 0)
        inputList_->setEnabled(false);
    else if (index >= 0 && static_cast<std::size_t>(index) < devices_.size())
        inputList_->setCurrentIndex(devices_[static_cast<std::size_t>(index)].inputIndex); // -1: no selection
}

void CVideoDlg::ShowNoDevices()
{
    const QScopedValueRollback filling(fillingDeviceList_, true);
    deviceList_->clear();
    deviceList_->setEnabled(false);
    inputList_->clear();
    inputList_->setEnabled(false);
}

void CVideoDlg::OnInitDialog()
{
    const WaitCursor wait;
    // The pair shows 352x288 for any size but the small one, as OK reads it back.
    const bool small = width_ == kSmallWidth && height_ == kSmallHeight;
    (small ? smallSize_ : largeSize_)->setChecked(true);

    if (!chosenDevice_ && ChooseDefaultDevice() != 0) {
        // No camera: nothing is sent or previewed.
        SetEnable(false);
        ShowNoDevices();
        ShowEnable();
        return;
    }

    const int selection = ListDeviceEntries(*deviceList_, devices_, chosenDevice_, fillingDeviceList_);
    chosenDevice_ = devices_[static_cast<std::size_t>(selection)].device;
    PrepareInputs(selection);
    FillInputList(selection);
    ShowEnable();
}

void CVideoDlg::OnDeviceSelected(int index)
{
    if (fillingDeviceList_ || index < 0)
        return;
    // The camera becomes the chosen one only on OK.
    const WaitCursor wait;
    PrepareInputs(index);
    FillInputList(index);
}

void CVideoDlg::OnOK()
{
    const int input = inputList_->currentIndex(); // -1 when the list is empty
    const int selection = deviceList_->currentIndex();
    if (!devices_.empty() && selection >= 0 && static_cast<std::size_t>(selection) < devices_.size()) {
        VideoDeviceEntry &entry = devices_[static_cast<std::size_t>(selection)];
        chosenDevice_ = entry.device;
        entry.inputIndex = input;
        profile_.WriteProfileString(kSettings, kVideoInputDevice, entry.name);
        profile_.WriteProfileInt(kSettings, kVideoInputDeviceIndex, entry.inputIndex);
    }
    if (router_ && router_->CountInputs() > 0 && input < router_->CountInputs())
        router_->RouteInput(input);
    if (smallSize_->isChecked())
        SetSize(kSmallWidth, kSmallHeight);
    else
        SetSize(kLargeWidth, kLargeHeight);
    router_.reset();
    TakeEnable();
}

void CVideoDlg::OnCancel()
{
    router_.reset();
}

} // namespace kestrel::media::pages
