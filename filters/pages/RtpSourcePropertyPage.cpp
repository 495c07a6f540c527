#include "filters/pages/RtpSourcePropertyPage.h"

#include "tideline/rtpconfig.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace kestrel::filters::pages {

CRtpSourcePropertyPage::CRtpSourcePropertyPage(QWidget *parent) : CPropertyPage(parent), portEdit(new QLineEdit(this))
{
    portEdit->setObjectName(QStringLiteral("1000"));
    auto *label = new QLabel(tr("Listen Port:"), this);
    label->setBuddy(portEdit);
    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(portEdit, 0, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(1, 1);
    connect(portEdit, &QLineEdit::textEdited, this, [this] { MarkDirty(); });
}

QString CRtpSourcePropertyPage::Title() const
{
    return tr("Rcv Prop Title");
}

bool CRtpSourcePropertyPage::Accepts(GObject *object) const
{
    int port = 0;
    return tideline_rtp_source_config_get_port(object, &port);
}

void CRtpSourcePropertyPage::Activate()
{
    int port = 0;
    if (tideline_rtp_source_config_get_port(Object(), &port))
        portEdit->setText(QString::number(static_cast<unsigned>(port)));
}

CPropertyPage::ApplyResult CRtpSourcePropertyPage::ApplyChanges()
{
    const auto port = ParseUnsigned(portEdit->text());
    tideline_rtp_source_config_set_port(Object(), port ? static_cast<int>(*port) : 0);
    return port ? ApplyResult::Applied : ApplyResult::NotApplied;
}

} // namespace kestrel::filters::pages
