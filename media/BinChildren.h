#pragma once

#include "platform/gst/GstRef.h"

#include <string>
#include <vector>

namespace kestrel::media {

using platform::GstRef;

// The elements directly inside `bin`, oldest first (the order they were
// added), each with its own reference.
std::vector<GstRef<GstElement>> ChildrenOf(GstBin *bin);

// `base` when no child of `bin` has that name, otherwise `base` followed by
// " 0001", " 0002"... (the first free one), as the filter graph named a
// second filter of the same name.
std::string UniqueChildName(GstBin *bin, const std::string &base);

// The pads of `element` in `direction`, each with its own reference.
std::vector<GstRef<GstPad>> PadsOf(GstElement *element, GstPadDirection direction);

} // namespace kestrel::media
