#include "platform/outsidefilters/pages/H263EncodePropertyPage.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

#include "platform/outsidefilters/OutsideFilters.h"

namespace kestrel::outsidefilters::pages {

namespace {

// The property's range, as the element declares it.
GParamSpecUInt* UintSpec(GObject* object, const char* name) {
  GParamSpec* pspec = g_object_class_find_property(G_OBJECT_GET_CLASS(object), name);
  return pspec != nullptr && G_IS_PARAM_SPEC_UINT(pspec) ? G_PARAM_SPEC_UINT(pspec) : nullptr;
}

guint GetUint(GObject* object, const char* name) {
  guint value = 0;
  g_object_get(object, name, &value, nullptr);
  return value;
}

}  // namespace

CH263EncodePropertyPage::CH263EncodePropertyPage(QWidget* parent)
    : CPropertyPage(parent), bitrateEdit(new QSpinBox(this)), keyFrameIntervalEdit(new QDoubleSpinBox(this)) {
  bitrateEdit->setObjectName(QStringLiteral("bitrate"));
  bitrateEdit->setSuffix(tr(" kbit/s"));
  bitrateEdit->setSingleStep(16);
  keyFrameIntervalEdit->setObjectName(QStringLiteral("keyframeInterval"));
  keyFrameIntervalEdit->setSuffix(tr(" s"));
  keyFrameIntervalEdit->setDecimals(1);
  keyFrameIntervalEdit->setSingleStep(0.5);

  auto* bitrateLabel = new QLabel(tr("Bit rate:"), this);
  bitrateLabel->setBuddy(bitrateEdit);
  auto* intervalLabel = new QLabel(tr("Key frame at least every:"), this);
  intervalLabel->setBuddy(keyFrameIntervalEdit);
  auto* note = new QLabel(tr("Changes apply to the next picture, also during a call."), this);
  note->setWordWrap(true);
  auto* layout = new QGridLayout(this);
  layout->addWidget(bitrateLabel, 0, 0);
  layout->addWidget(bitrateEdit, 0, 1);
  layout->addWidget(intervalLabel, 1, 0);
  layout->addWidget(keyFrameIntervalEdit, 1, 1);
  layout->addWidget(note, 2, 0, 1, 3);
  layout->setColumnStretch(2, 1);
  layout->setRowStretch(3, 1);
  connect(bitrateEdit, &QSpinBox::valueChanged, this, [this] { MarkDirty(); });
  connect(keyFrameIntervalEdit, &QDoubleSpinBox::valueChanged, this, [this] { MarkDirty(); });
}

QString CH263EncodePropertyPage::Title() const { return tr("H.263 Video"); }

bool CH263EncodePropertyPage::Accepts(GObject* object) const {
  return UintSpec(object, kBitrateProperty) != nullptr && UintSpec(object, kKeyFrameIntervalProperty) != nullptr;
}

void CH263EncodePropertyPage::Activate() {
  GObject* encoder = Object();
  if (encoder == nullptr) return;
  // Filling the controls is not an edit.
  const QSignalBlocker blockBitrate(bitrateEdit);
  const QSignalBlocker blockInterval(keyFrameIntervalEdit);
  const GParamSpecUInt* bitrate = UintSpec(encoder, kBitrateProperty);
  bitrateEdit->setRange(int(bitrate->minimum / 1000), int(bitrate->maximum / 1000));
  bitrateEdit->setValue(int(GetUint(encoder, kBitrateProperty) / 1000));
  const GParamSpecUInt* interval = UintSpec(encoder, kKeyFrameIntervalProperty);
  keyFrameIntervalEdit->setRange(interval->minimum / 1000.0, interval->maximum / 1000.0);
  keyFrameIntervalEdit->setValue(GetUint(encoder, kKeyFrameIntervalProperty) / 1000.0);
}

filters::pages::CPropertyPage::ApplyResult CH263EncodePropertyPage::ApplyChanges() {
  // Text still being typed counts as entered.
  bitrateEdit->interpretText();
  keyFrameIntervalEdit->interpretText();
  const guint bitrateBps = guint(bitrateEdit->value()) * 1000u;
  const guint intervalMs = guint(std::lround(keyFrameIntervalEdit->value() * 1000.0));
  g_object_set(Object(), kBitrateProperty, bitrateBps, kKeyFrameIntervalProperty, intervalMs, nullptr);
  return ApplyResult::Applied;
}

}  // namespace kestrel::outsidefilters::pages
