#pragma once

#include "filters/pages/PropertyPage.h"

class QDoubleSpinBox;
class QSpinBox;

namespace kestrel::outsidefilters::pages {

// The settings of "H263 Encode Filter": its bit rate (control "bitrate", in
// kbit/s) and the longest time between key frames (control
// "keyframeInterval", in seconds). Applied values take effect at the
// encoder's next picture, also while a call is up.
class CH263EncodePropertyPage : public filters::pages::CPropertyPage {
  Q_OBJECT
 public:
  explicit CH263EncodePropertyPage(QWidget* parent = nullptr);

  QString Title() const override;
  void Activate() override;

 protected:
  // An object with the encoder's two properties.
  bool Accepts(GObject* object) const override;
  ApplyResult ApplyChanges() override;

 private:
  QSpinBox* bitrateEdit;
  QDoubleSpinBox* keyFrameIntervalEdit;
};

}  // namespace kestrel::outsidefilters::pages
