#include "overlaysettings/PlacementControls.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>

namespace kestrel::overlaysettings {

namespace {

constexpr int kTransparencyMax = 100;
constexpr int kTransparencyStep = 10;


} // namespace

QString PercentText(int percent)
{
    return QStringLiteral("%1%").arg(percent);
}

PlacementControls MakePlacementControls(QWidget *parent, const PlacementControlIds &ids)
{
    PlacementControls c;
    c.transparencyGroup = new QGroupBox(QCoreApplication::translate("PlacementControls", "Transparency"), parent);
    c.slider = new QSlider(Qt::Horizontal, c.transparencyGroup);
    c.slider->setObjectName(QString::fromLatin1(ids.slider));
    c.slider->setRange(0, kTransparencyMax);
    c.slider->setPageStep(kTransparencyStep);
    c.slider->setTickInterval(kTransparencyStep);
    c.slider->setTickPosition(QSlider::TicksBelow);
    c.percentage = new QLabel(c.transparencyGroup);
    c.percentage->setObjectName(QString::fromLatin1(ids.percentage));
    c.percentage->setAlignment(Qt::AlignCenter);
    c.percentage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    c.percentage->setMinimumWidth(c.percentage->fontMetrics().horizontalAdvance(PercentText(kTransparencyMax)) + 12);
    c.percentage->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *transparencyLayout = new QGridLayout(c.transparencyGroup);
    transparencyLayout->addWidget(c.slider, 0, 0, 1, 2);
    transparencyLayout->addWidget(c.percentage, 0, 2);
    transparencyLayout->addWidget(new QLabel(PercentText(0), c.transparencyGroup), 1, 0, Qt::AlignLeft);
    transparencyLayout->addWidget(new QLabel(PercentText(kTransparencyMax), c.transparencyGroup), 1, 1, Qt::AlignRight);

    c.positionGroup = new QGroupBox(QCoreApplication::translate("PlacementControls", "Position"), parent);
    c.positionList = new QComboBox(c.positionGroup);
    c.positionList->setObjectName(QString::fromLatin1(ids.positionList));
    c.positionList->addItems({QCoreApplication::translate("PlacementControls", "Top/Right"),
                              QCoreApplication::translate("PlacementControls", "Top/Left"),
                              QCoreApplication::translate("PlacementControls", "Bottom/Left"),
                              QCoreApplication::translate("PlacementControls", "Bottom/Right"),
                              QCoreApplication::translate("PlacementControls", "User Input")});
    // Digits, with a leading minus sign: positions may be negative, and a
    // stored negative value must stay editable digit by digit.
    auto *digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), c.positionGroup);
    c.x = new QLineEdit(c.positionGroup);
    c.x->setObjectName(QString::fromLatin1(ids.x));
    c.x->setValidator(digitsOnly);
    c.y = new QLineEdit(c.positionGroup);
    c.y->setObjectName(QString::fromLatin1(ids.y));
    c.y->setValidator(digitsOnly);
    auto *xLabel = new QLabel(QCoreApplication::translate("PlacementControls", "X:"), c.positionGroup);
    xLabel->setBuddy(c.x);
    auto *yLabel = new QLabel(QCoreApplication::translate("PlacementControls", "Y:"), c.positionGroup);
    yLabel->setBuddy(c.y);
    auto *positionLayout = new QGridLayout(c.positionGroup);
    positionLayout->addWidget(c.positionList, 0, 0, 1, 4);
    positionLayout->addWidget(xLabel, 1, 0);
    positionLayout->addWidget(c.x, 1, 1);
    positionLayout->addWidget(yLabel, 1, 2);
    positionLayout->addWidget(c.y, 1, 3);
    return c;
}

void ShowPlacement(const PlacementControls &c, const OverlaySettings &settings)
{
    c.x->setText(QString::number(settings.posX));
    c.y->setText(QString::number(settings.posY));
    c.slider->setValue(settings.transparency);
    c.percentage->setText(PercentText(c.slider->value()));
    const bool listed = settings.positionIndex >= 0 && settings.positionIndex < c.positionList->count();
    c.positionList->setCurrentIndex(listed ? settings.positionIndex : -1);
}

} // namespace kestrel::overlaysettings
