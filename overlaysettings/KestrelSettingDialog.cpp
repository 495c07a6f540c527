#include "overlaysettings/KestrelSettingDialog.h"

#include "overlaysettings/HotKeyEdit.h"
#include "overlaysettings/IntegerField.h"
#include "platform/store/IProfileStore.h"
#include "platform/ui/IMessageBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrel::overlaysettings {

namespace {

constexpr int kTransparencyMax = 100;
constexpr int kTransparencyStep = 10;

QString Percent(int value)
{
    return QStringLiteral("%1%").arg(value);
}

} // namespace

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
    auto *transparencyGroup = new QGroupBox(tr("Transparency"), this);
    transparencySlider_ = new QSlider(Qt::Horizontal, transparencyGroup);
    transparencySlider_->setObjectName(QStringLiteral("1008"));
    transparencySlider_->setRange(0, kTransparencyMax);
    transparencySlider_->setPageStep(kTransparencyStep);
    transparencySlider_->setTickInterval(kTransparencyStep);
    transparencySlider_->setTickPosition(QSlider::TicksBelow);
    transparencyText_ = new QLabel(transparencyGroup);
    transparencyText_->setObjectName(QStringLiteral("1017"));
    transparencyText_->setAlignment(Qt::AlignCenter);
    transparencyText_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    transparencyText_->setMinimumWidth(transparencyText_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 12);
    auto *transparencyLayout = new QGridLayout(transparencyGroup);
    transparencyLayout->addWidget(transparencySlider_, 0, 0, 1, 2);
    transparencyLayout->addWidget(transparencyText_, 0, 2, 2, 1);
    transparencyLayout->addWidget(new QLabel(QStringLiteral("0%"), transparencyGroup), 1, 0, Qt::AlignLeft);
    transparencyLayout->addWidget(new QLabel(QStringLiteral("100%"), transparencyGroup), 1, 1, Qt::AlignRight);

    auto *positionGroup = new QGroupBox(tr("Position"), this);
    positionList_ = new QComboBox(positionGroup);
    positionList_->setObjectName(QStringLiteral("1009"));
    positionList_->addItems({tr("Top/Right"), tr("Top/Left"), tr("Bottom/Left"), tr("Bottom/Right"), tr("User Input")});
    // Digits only, with a leading minus sign: positions may be negative, and a
    // stored negative value must stay editable digit by digit.
    auto *digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), this);
    xEdit_ = new QLineEdit(positionGroup);
    xEdit_->setObjectName(QStringLiteral("1011"));
    xEdit_->setValidator(digitsOnly);
    yEdit_ = new QLineEdit(positionGroup);
    yEdit_->setObjectName(QStringLiteral("1010"));
    yEdit_->setValidator(digitsOnly);
    auto *positionLayout = new QGridLayout(positionGroup);
    positionLayout->addWidget(positionList_, 0, 0, 1, 4);
    auto *xLabel = new QLabel(tr("X:"), positionGroup);
    xLabel->setBuddy(xEdit_);
    auto *yLabel = new QLabel(tr("Y:"), positionGroup);
    yLabel->setBuddy(yEdit_);
    positionLayout->addWidget(xLabel, 1, 0);
    positionLayout->addWidget(xEdit_, 1, 1);
    positionLayout->addWidget(yLabel, 1, 2);
    positionLayout->addWidget(yEdit_, 1, 3);

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
    layout->addWidget(transparencyGroup);
    layout->addWidget(positionGroup);
    layout->addWidget(hotKeyGroup);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(transparencySlider_, &QSlider::valueChanged, this, &KestrelSettingDialog::OnTransparencyChanged);
    connect(positionList_, &QComboBox::currentIndexChanged, this, &KestrelSettingDialog::OnPositionChanged);
}

void KestrelSettingDialog::ShowSettings()
{
    xEdit_->setText(QString::number(settings_.posX));
    yEdit_->setText(QString::number(settings_.posY));
    // The slider holds the transparency from here on; a stored value beyond
    // 0..100 is shown as the slider end it will be saved as.
    const QSignalBlocker quiet(transparencySlider_);
    transparencySlider_->setValue(settings_.transparency);
    transparencyText_->setText(Percent(transparencySlider_->value()));
    const bool listed = settings_.positionIndex >= 0 && settings_.positionIndex < positionList_->count();
    positionList_->setCurrentIndex(listed ? settings_.positionIndex : -1);
    OnPositionChanged(positionList_->currentIndex());
    hotKeyEdit_->SetValue(MainHotKey(settings_));
}

void KestrelSettingDialog::OnTransparencyChanged(int percent)
{
    settings_.transparency = percent;
    transparencyText_->setText(Percent(percent));
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
