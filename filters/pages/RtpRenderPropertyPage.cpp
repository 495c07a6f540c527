#include "filters/pages/RtpRenderPropertyPage.h"

#include "tideline/rtpconfig.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace kestrel::filters::pages {

namespace {
// Dotted IPv4 as an address control takes it: four numbers of 0 to 255.
const QString kOctet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
} // namespace

CRtpRenderPropertyPage::CRtpRenderPropertyPage(QWidget *parent)
    : CPropertyPage(parent), addressEdit(new QLineEdit(this)), portEdit(new QLineEdit(this))
{
    addressEdit->setObjectName(QStringLiteral("1001"));
    addressEdit->setMaxLength(kMaxAddressLength);
    addressEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^(%1\\.){0,3}%1?$").arg(kOctet)), addressEdit));
    portEdit->setObjectName(QStringLiteral("1000"));
    portEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]*$")), portEdit));

    auto *addressLabel = new QLabel(tr("Connect ip:"), this);
    addressLabel->setBuddy(addressEdit);
    auto *portLabel = new QLabel(tr("Connect Port:"), this);
    portLabel->setBuddy(portEdit);
    auto *layout = new QGridLayout(this);
    layout->addWidget(addressLabel, 0, 0);
    layout->addWidget(addressEdit, 0, 1);
    layout->addWidget(portLabel, 1, 0);
    layout->addWidget(portEdit, 1, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(2, 1);
    connect(addressEdit, &QLineEdit::textEdited, this, [this] { MarkDirty(); });
    connect(portEdit, &QLineEdit::textEdited, this, [this] { MarkDirty(); });
}

QString CRtpRenderPropertyPage::Title() const
{
    return tr("Send Prop Title");
}

bool CRtpRenderPropertyPage::Accepts(GObject *object) const
{
    gchar *address = nullptr;
    int port = 0;
    const bool offered = tideline_rtp_render_config_get_destination(object, &address, &port);
    g_free(address);
    return offered;
}

void CRtpRenderPropertyPage::Activate()
{
    gchar *address = nullptr;
    int port = 0;
    if (!tideline_rtp_render_config_get_destination(Object(), &address, &port))
        return;
    portEdit->setText(QString::number(static_cast<unsigned>(port)));
    addressEdit->setText(QString::fromUtf8(address).left(kMaxAddressLength));
    g_free(address);
}

CPropertyPage::ApplyResult CRtpRenderPropertyPage::ApplyChanges()
{
    const auto port = ParseUnsigned(portEdit->text());
    if (!port)
        return ApplyResult::NotApplied;
    const QByteArray address = addressEdit->text().trimmed().left(kMaxAddressLength).toUtf8();
    if (address.isEmpty())
        return ApplyResult::NotApplied;
    tideline_rtp_render_config_set_destination(Object(), address.constData(), static_cast<int>(*port));
    return ApplyResult::Applied;
}

} // namespace kestrel::filters::pages
