#include "media/MediaKind.h"

#include "platform/gst/GstRef.h"

#include <cstring>

namespace kestrel::media {

using platform::GstMiniRef;

MediaKind MediaKindOfCaps(const GstCaps *caps)
{
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps))
        return MediaKind::Unknown;
    const char *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (std::strncmp(name, "video/", 6) == 0 || std::strncmp(name, "image/", 6) == 0)
        return MediaKind::Video;
    if (std::strncmp(name, "audio/", 6) == 0)
        return MediaKind::Audio;
    return MediaKind::Unknown;
}

MediaKind MediaKindOfPad(GstPad *pad)
{
    if (!pad)
        return MediaKind::Unknown;
    GstMiniRef<GstCaps> caps(gst_pad_query_caps(pad, nullptr));
    return MediaKindOfCaps(caps.get());
}

} // namespace kestrel::media
