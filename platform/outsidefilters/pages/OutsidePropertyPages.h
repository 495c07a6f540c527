#pragma once

#include <QString>

#include <memory>

#include "filters/pages/PropertyPage.h"

namespace kestrel::outsidefilters::pages {

// Creates the page an outside filter names by identifier (its
// "kestrel-property-page" element metadata); null for an identifier that is
// not one of theirs. Tideline's pages come from filters::pages::CreatePropertyPage.
std::unique_ptr<filters::pages::CPropertyPage> CreateOutsidePropertyPage(const QString& pageId,
                                                                         QWidget* parent = nullptr);

}  // namespace kestrel::outsidefilters::pages
