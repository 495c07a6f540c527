#include "media/pages/VideoDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace kestrel::media::pages {

CVideoDlg::CVideoDlg(QWidget *parent) : CCapturePage(parent)
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

    ShowDevices();
    smallSize_->setChecked(true);
    ShowEnable();
}

void CVideoDlg::SetSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void CVideoDlg::OnInitDialog()
{
    // The pair shows 352x288 for any size but the small one, as OK reads it back.
    const bool small = width_ == kSmallWidth && height_ == kSmallHeight;
    (small ? smallSize_ : largeSize_)->setChecked(true);
    ShowDevices();
    ShowEnable();
}

void CVideoDlg::ShowDevices()
{
    // No camera has been handed to the page: nothing to choose from.
    deviceList_->clear();
    deviceList_->setEnabled(false);
    inputList_->clear();
    inputList_->setEnabled(false);
}

void CVideoDlg::OnOK()
{
    if (smallSize_->isChecked())
        SetSize(kSmallWidth, kSmallHeight);
    else
        SetSize(kLargeWidth, kLargeHeight);
    TakeEnable();
}

} // namespace kestrel::media::pages
