#include "filters/pages/PropertyPage.h"

#include "filters/pages/RtpRenderPropertyPage.h"
#include "filters/pages/RtpSourcePropertyPage.h"
#include "tideline/rtpconfig.h"

namespace kestrel::filters::pages {

CPropertyPage::~CPropertyPage()
{
    Disconnect();
}

bool CPropertyPage::Connect(GObject *candidate)
{
    Disconnect();
    if (!candidate || !Accepts(candidate))
        return false;
    object = G_OBJECT(g_object_ref(candidate));
    return true;
}

void CPropertyPage::Disconnect()
{
    if (object) {
        g_object_unref(object);
        object = nullptr;
    }
}

CPropertyPage::ApplyResult CPropertyPage::Apply()
{
    if (!object)
        return ApplyResult::NotApplied;
    const ApplyResult result = ApplyChanges();
    if (result == ApplyResult::Applied && dirty) {
        dirty = false;
        emit DirtyChanged(false);
    }
    return result;
}

void CPropertyPage::MarkDirty()
{
    if (!dirty) {
        dirty = true;
        emit DirtyChanged(true);
    }
}

std::optional<unsigned> CPropertyPage::ParseUnsigned(const QString &text)
{
    bool ok = false;
    const unsigned value = text.trimmed().toUInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::unique_ptr<CPropertyPage> CreatePropertyPage(const QString &pageId, QWidget *parent)
{
    if (pageId.compare(QLatin1String(TIDELINE_RTP_SOURCE_PAGE_ID), Qt::CaseInsensitive) == 0)
        return std::make_unique<CRtpSourcePropertyPage>(parent);
    if (pageId.compare(QLatin1String(TIDELINE_RTP_RENDER_PAGE_ID), Qt::CaseInsensitive) == 0)
        return std::make_unique<CRtpRenderPropertyPage>(parent);
    return nullptr;
}

} // namespace kestrel::filters::pages
