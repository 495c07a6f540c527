#pragma once

#include "filters/pages/PropertyPage.h"

class QLineEdit;

namespace kestrel::filters::pages {

// "Rcv Prop Title": the port an RTP source element listens on.
// Control 1000 (object name "1000"): the port, as an unsigned number.
class CRtpSourcePropertyPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CRtpSourcePropertyPage(QWidget *parent = nullptr);

    QString Title() const override;
    void Activate() override;

protected:
    bool Accepts(GObject *object) const override;
    // Stores the number, or port 0 when the text is not a number (and then
    // reports NotApplied).
    ApplyResult ApplyChanges() override;

private:
    QLineEdit *portEdit;
};

} // namespace kestrel::filters::pages
