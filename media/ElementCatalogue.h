#pragma once

#include "media/MediaKind.h"
#include "platform/gst/GstRef.h"

#include <string>
#include <vector>

namespace kestrel::media {

using platform::GstRef;

// The element factories of GStreamer's registry that graphs pick from. Every
// list comes in one fixed order, highest rank first, then by factory name, so
// the same registry always gives the same choice.
class CElementCatalogue {
public:
    using FactoryList = std::vector<GstRef<GstElementFactory>>;

    // The factory whose long name is exactly `longName` (case-sensitive), or
    // null. Rank does not matter here: the outside filters are rank none.
    static GstRef<GstElementFactory> FindByLongName(const std::string &longName);

    // Factories intelligent connect may put between two pads: decoders,
    // parsers and converters of rank marginal or above, with one always sink
    // and one always src template. Elements that make their pads only when
    // data flows (demuxers, decodebin) are left out.
    static FactoryList Intermediates();

    // Sinks for `kind` of rank marginal or above (no src templates).
    static FactoryList Renderers(MediaKind kind);

    static bool KlassHas(GstElementFactory *factory, const char *word);
};

} // namespace kestrel::media
