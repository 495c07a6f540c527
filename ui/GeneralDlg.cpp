#include "ui/GeneralDlg.h"

#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/IntegerField.h"
#include "overlaysettings/OsdHotkeySettings.h"
#include "platform/ui/IMessageBox.h"
#include "ui/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::ui {

namespace {

constexpr int kTransparencyMax = 100;
constexpr int kTransparencyStep = 10;

QString Percent(int value)
{
    return QStringLiteral("%1%").arg(value);
}

} // namespace

CGeneralDlg::CGeneralDlg(platform::IProfileStore &store, platform::IMessageBox &messages, QWidget *parent)
    : COptionsPage(parent), store_(store), messages_(messages)
{
    setObjectName(QStringLiteral("132"));
    setWindowTitle(tr("Kestrel"));
    BuildControls();
}

void CGeneralDlg::BuildControls()
{
    auto *transparencyGroup = new QGroupBox(tr("Transparency"), this);
    transparencySlider_ = new QSlider(Qt::Horizontal, transparencyGroup);
    transparencySlider_->setObjectName(QStringLiteral("1011"));
    transparencySlider_->setRange(0, kTransparencyMax);
    transparencySlider_->setPageStep(kTransparencyStep);
    transparencySlider_->setTickInterval(kTransparencyStep);
    transparencySlider_->setTickPosition(QSlider::TicksBelow);
    transparencyText_ = new QLabel(transparencyGroup);
    transparencyText_->setObjectName(QStringLiteral("1015"));
    transparencyText_->setAlignment(Qt::AlignCenter);
    transparencyText_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    transparencyText_->setMinimumWidth(transparencyText_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 12);
    transparencyText_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *transparencyLayout = new QGridLayout(transparencyGroup);
    transparencyLayout->addWidget(transparencySlider_, 0, 0, 1, 2);
    transparencyLayout->addWidget(transparencyText_, 0, 2);
    transparencyLayout->addWidget(new QLabel(QStringLiteral("0%"), transparencyGroup), 1, 0, Qt::AlignLeft);
    transparencyLayout->addWidget(new QLabel(QStringLiteral("100%"), transparencyGroup), 1, 1, Qt::AlignRight);

    auto *positionGroup = new QGroupBox(tr("Position"), this);
    positionList_ = new QComboBox(positionGroup);
    positionList_->setObjectName(QStringLiteral("1012"));
    positionList_->addItems({tr("Top/Right"), tr("Top/Left"), tr("Bottom/Left"), tr("Bottom/Right"), tr("User Input")});
    // Digits, with a leading minus sign: a stored negative position must stay editable.
    auto *digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), this);
    xEdit_ = new QLineEdit(positionGroup);
    xEdit_->setObjectName(QStringLiteral("1014"));
    xEdit_->setValidator(digitsOnly);
    yEdit_ = new QLineEdit(positionGroup);
    yEdit_->setObjectName(QStringLiteral("1013"));
    yEdit_->setValidator(digitsOnly);
    auto *xLabel = new QLabel(tr("X:"), positionGroup);
    xLabel->setBuddy(xEdit_);
    auto *yLabel = new QLabel(tr("Y:"), positionGroup);
    yLabel->setBuddy(yEdit_);
    auto *positionLayout = new QGridLayout(positionGroup);
    positionLayout->addWidget(positionList_, 0, 0, 1, 4);
    positionLayout->addWidget(xLabel, 1, 0);
    positionLayout->addWidget(xEdit_, 1, 1);
    positionLayout->addWidget(yLabel, 1, 2);
    positionLayout->addWidget(yEdit_, 1, 3);

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
    layout->addWidget(transparencyGroup);
    layout->addWidget(positionGroup);
    layout->addLayout(hotKeys);
    layout->addWidget(desktopShortcutNote_);
    layout->addStretch(1);

    // The percentage follows the slider while it moves; the member waits for OK.
    connect(transparencySlider_, &QSlider::valueChanged, this,
            [this](int percent) { transparencyText_->setText(Percent(percent)); });
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

    xEdit_->setText(QString::number(settings_.posX));
    yEdit_->setText(QString::number(settings_.posY));
    osdEnableBox_->setChecked(osdEnable_ != 0);
    // A stored value beyond 0..100 is shown as the slider end it will be saved as.
    transparencySlider_->setValue(settings_.transparency);
    transparencyText_->setText(Percent(transparencySlider_->value()));
    const bool listed = settings_.positionIndex >= 0 && settings_.positionIndex < positionList_->count();
    positionList_->setCurrentIndex(listed ? settings_.positionIndex : -1);
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
