#include "overlaysettings/KestrelSettingDialog.h"

#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/IntegerField.h"
#include "overlaysettings/PlacementControls.h"
#include "platform/store/IProfileStore.h"
#include "platform/ui/IMessageBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::overlaysettings {

QIcon KestrelSettingIcon()
{
    return QIcon(QStringLiteral(":/kestrel-setting/kestrel-setting.xpm"));
}

KestrelSettingDialog::KestrelSettingDialog(platform::IProfileStore &store, platform::IMessageBox &messages,
                                           QWidget *parent)
    : QDialog(parent), store_(store), messages_(messages), icon_(KestrelSettingIcon())
{
    setObjectName(QStringLiteral("102"));
    setWindowTitle(tr("ORVA Kestrel Settings"));
    setWindowIcon(icon_);
    BuildControls();
    LoadOverlaySettings(store_, settings_);
    ShowSettings();
}

void KestrelSettingDialog::BuildControls()
{
    const PlacementControls placement =
        MakePlacementControls(this, {.slider = "1008", .percentage = "1017", .positionList = "1009", .x = "1011", .y = "1010"});
    placement_ = placement;
    transparencySlider_ = placement.slider;
    transparencyText_ = placement.percentage;
    positionList_ = placement.positionList;
    xEdit_ = placement.x;
    yEdit_ = placement.y;

    auto *hotKeyGroup = new QGroupBox(tr("Hot Key"), this);
    hotKeyEdit_ = new HotKeyEdit(hotKeyGroup);
    hotKeyEdit_->setObjectName(QStringLiteral("1021"));
    auto *hotKeyLayout = new QVBoxLayout(hotKeyGroup);
    hotKeyLayout->addWidget(hotKeyEdit_);

    // Linux window managers offer no way to add to the window menu, so the
    // About entry sits at the left of the button row.
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    QPushButton *about = buttons->addButton(tr("&About KestrelSetting..."), QDialogButtonBox::HelpRole);
    about->setObjectName(QStringLiteral("about"));
    about->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &KestrelSettingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &KestrelSettingDialog::reject);
    connect(about, &QPushButton::clicked, this, &KestrelSettingDialog::ShowAbout);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(placement.transparencyGroup);
    layout->addWidget(placement.positionGroup);
    layout->addWidget(hotKeyGroup);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(transparencySlider_, &QSlider::valueChanged, this, &KestrelSettingDialog::OnTransparencyChanged);
    connect(positionList_, &QComboBox::currentIndexChanged, this, &KestrelSettingDialog::OnPositionChanged);
}

void KestrelSettingDialog::ShowSettings()
{
    {
        // The slider holds the transparency from here on.
        const QSignalBlocker quiet(transparencySlider_);
        ShowPlacement(placement_, settings_);
    }
    OnPositionChanged(positionList_->currentIndex());
    hotKeyEdit_->SetValue(MainHotKey(settings_));
}

void KestrelSettingDialog::OnTransparencyChanged(int percent)
{
    settings_.transparency = percent;
    transparencyText_->setText(PercentText(percent));
}

void KestrelSettingDialog::OnPositionChanged(int index)
{
    const bool userInput = index == kUserInputPositionIndex;
    xEdit_->setEnabled(userInput);
    yEdit_->setEnabled(userInput);
}

bool KestrelSettingDialog::TransferInteger(QLineEdit *edit, std::int32_t &member)
{
    const auto value = ParseIntegerField(edit->text());
    if (!value) {
        messages_.Show(tr("Please enter an integer.").toStdString(), "Kestrel", platform::MessageIcon::Exclamation);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    }
    member = *value;
    return true;
}

bool KestrelSettingDialog::TransferControlsToMembers()
{
    // In this order: a failing X leaves Y unread.
    return TransferInteger(xEdit_, settings_.posX) && TransferInteger(yEdit_, settings_.posY);
}

void KestrelSettingDialog::accept()
{
    // A failed transfer still saves what the members hold, then keeps the
    // dialog open, so the user can mend the field that was refused.
    TransferControlsToMembers();
    settings_.transparency = transparencySlider_->value();
    settings_.positionIndex = positionList_->currentIndex();
    TakeMainHotKey(settings_, hotKeyEdit_->Value());
    SaveOverlaySettings(store_, settings_);
    if (TransferControlsToMembers())
        QDialog::accept();
}

void KestrelSettingDialog::ShowAbout()
{
    AboutKestrelSettingDialog about(icon_, this);
    about.exec();
}

AboutKestrelSettingDialog::AboutKestrelSettingDialog(const QIcon &icon, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(tr("About ORVA Kestrel Setting"));
    auto *iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(32, 32));
    auto *text = new QLabel(tr("ORVA Kestrel Setting Program Version 1.0"), this);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *row = new QHBoxLayout;
    row->addWidget(iconLabel);
    row->addWidget(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kestrel::overlaysettings
