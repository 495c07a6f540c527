#pragma once

#include <gst/gst.h>

namespace kestrel::media {

// What a stream carries, judged by the names of its caps structures.
enum class MediaKind {
    Unknown, // ANY, empty, or neither video nor audio
    Video,   // video/... or image/...
    Audio,   // audio/...
};

MediaKind MediaKindOfCaps(const GstCaps *caps);
// The kind of the caps `pad` can carry now (a caps query; works before the
// pipeline runs).
MediaKind MediaKindOfPad(GstPad *pad);

} // namespace kestrel::media
