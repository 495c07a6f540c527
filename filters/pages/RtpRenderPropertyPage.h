#pragma once

#include "filters/pages/PropertyPage.h"

class QLineEdit;

namespace kestrel::filters::pages {

// "Send Prop Title": where an RTP render element sends.
// Control 1001 (object name "1001"): the peer's IPv4 address.
// Control 1000 (object name "1000"): the port, digits only.
class CRtpRenderPropertyPage : public CPropertyPage {
    Q_OBJECT
public:
    // The address field holds at most this many characters.
    static constexpr int kMaxAddressLength = 49;

    explicit CRtpRenderPropertyPage(QWidget *parent = nullptr);

    QString Title() const override;
    void Activate() override;

protected:
    bool Accepts(GObject *object) const override;
    // Applies nothing unless the port is a number and an address is given.
    ApplyResult ApplyChanges() override;

private:
    QLineEdit *addressEdit;
    QLineEdit *portEdit;
};

} // namespace kestrel::filters::pages
