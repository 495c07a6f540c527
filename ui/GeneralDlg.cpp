#include "ui/GeneralDlg.h"

#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/IntegerField.h"
#include "overlaysettings/OsdHotkeySettings.h"
#include "platform/ui/IMessageBox.h"
#include "ui/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::ui {

CGeneralDlg::CGeneralDlg(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent)
    : COptionsPage(parent), store_(store), messages_(messages)
{
    setObjectName(QStringLiteral("132"));
    setWindowTitle(tr("Kestrel"));
    BuildControls();
}

void CGeneralDlg::BuildControls()
{
    placement_ = overlaysettings::MakePlacementControls(
        this, {.slider = "1011", .percentage = "1015", .positionList = "1012", .x = "1014", .y = "1013"});
    transparencySlider_ = placement_.slider;
    transparencyText_ = placement_.percentage;
    positionList_ = placement_.positionList;
    xEdit_ = placement_.x;
    yEdit_ = placement_.y;

    auto *osdGroup = new QGroupBox(tr("OSD Hot Key"), this);
    osdHotKey_ = new overlaysettings::HotKeyEdit(osdGroup);
    osdHotKey_->setObjectName(QStringLiteral("1017"));
    osdEnableBox_ = new QCheckBox(tr("Enable"), osdGroup);
    osdEnableBox_->setObjectName(QStringLiteral("1018"));
    auto *osdLayout = new QVBoxLayout(osdGroup);
    osdLayout->addWidget(osdHotKey_);
    osdLayout->addWidget(osdEnableBox_);

    auto *mainGroup = new QGroupBox(tr("Kestrel Hot Key"), this);
    mainHotKey_ = new overlaysettings::HotKeyEdit(mainGroup);
    mainHotKey_->setObjectName(QStringLiteral("1019"));
    auto *mainLayout = new QVBoxLayout(mainGroup);
    mainLayout->addWidget(mainHotKey_);
    mainLayout->addStretch(1);

    auto *hotKeys = new QHBoxLayout;
    hotKeys->addWidget(osdGroup, 1);
    hotKeys->addWidget(mainGroup, 1);
    desktopShortcutNote_ = new QLabel(this);
    desktopShortcutNote_->setObjectName(QStringLiteral("desktopShortcutNote"));
    desktopShortcutNote_->setWordWrap(true);
    desktopShortcutNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    desktopShortcutNote_->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(placement_.transparencyGroup);
    layout->addWidget(placement_.positionGroup);
    layout->addLayout(hotKeys);
    layout->addWidget(desktopShortcutNote_);
    layout->addStretch(1);

    // The percentage follows the slider while it moves; the member waits for OK.
    connect(transparencySlider_, &QSlider::valueChanged, this,
            [this](int percent) { transparencyText_->setText(overlaysettings::PercentText(percent)); });
    connect(positionList_, &QComboBox::currentIndexChanged, this, &CGeneralDlg::OnPositionChanged);
    connect(osdEnableBox_, &QCheckBox::clicked, this, &CGeneralDlg::OnOsdEnableClicked);
}

void CGeneralDlg::OnInitDialog()
{
    // As a newly made page window: the OSD hot key enabled and empty, unless
    // the renderer's key says otherwise.
    osdHotKey_->setEnabled(true);
    osdHotKey_->SetValue({});
    LoadOverlaySettings();

    osdEnableBox_->setChecked(osdEnable_ != 0);
    overlaysettings::ShowPlacement(placement_, settings_);
    OnPositionChanged(positionList_->currentIndex());
    mainHotKey_->SetValue(overlaysettings::MainHotKey(settings_));
}

void CGeneralDlg::ShowDesktopShortcutNote(bool shown, const QString &command)
{
    desktopShortcutNote_->setText(tr("This desktop lets no program take the Kestrel Hot Key while a game has the "
                                     "focus. To show and hide the floating picture from a game, add a keyboard "
                                     "shortcut in the desktop's settings that runs:\n%1")
                                      .arg(command));
    desktopShortcutNote_->setVisible(shown);
}

void CGeneralDlg::LoadOverlaySettings()
{
    overlaysettings::LoadOverlaySettings(store_, settings_);
    overlaysettings::OsdHotkeySettings osd{osdEnable_, osdHotKey_->Value()};
    if (!overlaysettings::LoadOsdHotkey(store_, osd))
        return; // without the renderer's key the flag and the control stay as they are
    osdEnable_ = osd.enable;
    osdHotKey_->setEnabled(osdEnable_ != 0);
    osdHotKey_->SetValue(osd.hotKey);
}

void CGeneralDlg::SaveOverlaySettings()
{
    overlaysettings::SaveOverlaySettings(store_, settings_);
    overlaysettings::SaveOsdHotkey(store_, {osdEnable_, osdHotKey_->Value()});
}

bool CGeneralDlg::OnKillActive()
{
    return TransferControlsToMembers();
}

void CGeneralDlg::OnOK()
{
    // X, Y and the enable flag are in the members already: the sheet lets OK
    // through only after OnKillActive took them.
    settings_.transparency = transparencySlider_->value();
    settings_.positionIndex = positionList_->currentIndex();
    overlaysettings::TakeMainHotKey(settings_, mainHotKey_->Value());
    SaveOverlaySettings();
}

void CGeneralDlg::OnPositionChanged(int index)
{
    const bool userInput = index == overlaysettings::kUserInputPositionIndex;
    xEdit_->setEnabled(userInput);
    yEdit_->setEnabled(userInput);
}

void CGeneralDlg::OnOsdEnableClicked()
{
    TransferControlsToMembers(); // a refused X or Y leaves the flag as it was
    osdHotKey_->setEnabled(osdEnable_ != 0);
}

bool CGeneralDlg::TransferControlsToMembers()
{
    if (!TransferInteger(xEdit_, settings_.posX) || !TransferInteger(yEdit_, settings_.posY))
        return false;
    osdEnable_ = osdEnableBox_->isChecked() ? 1 : 0;
    return true;
}

bool CGeneralDlg::TransferInteger(QLineEdit *edit, std::int32_t &member)
{
    const auto value = overlaysettings::ParseIntegerField(edit->text());
    if (!value) {
        messages_.Show(tr("Please enter an integer.").toStdString(), LoadString(IDS_APP_NAME).toStdString(),
                       platform::MessageIcon::Exclamation);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    }
    member = *value;
    return true;
}

} // namespace kestrel::ui
