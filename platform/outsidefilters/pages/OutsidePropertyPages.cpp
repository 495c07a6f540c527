#include "platform/outsidefilters/pages/OutsidePropertyPages.h"

#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/pages/H263EncodePropertyPage.h"

namespace kestrel::outsidefilters::pages {

std::unique_ptr<filters::pages::CPropertyPage> CreateOutsidePropertyPage(const QString& pageId, QWidget* parent) {
  if (pageId.compare(QLatin1String(kH263EncodePageId), Qt::CaseInsensitive) == 0) {
    return std::make_unique<CH263EncodePropertyPage>(parent);
  }
  return nullptr;
}

}  // namespace kestrel::outsidefilters::pages
