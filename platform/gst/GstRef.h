#pragma once

#include <gst/gst.h>

#include <memory>

namespace kestrel::platform {

// Owners of GStreamer and GLib references: one counted reference each,
// released when the owner is destroyed.
struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GstMiniObjectUnref {
    void operator()(GstMiniObject *object) const { gst_mini_object_unref(object); }
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
    void operator()(GstBuffer *buffer) const { gst_buffer_unref(buffer); }
    void operator()(GstSample *sample) const { gst_sample_unref(sample); }
    void operator()(GstMessage *message) const { gst_message_unref(message); }
    void operator()(GstEvent *event) const { gst_event_unref(event); }
    void operator()(GstQuery *query) const { gst_query_unref(query); }
};
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};

// GstObject subclasses: elements, pads, buses, factories, plugins, devices.
template <typename T> using GstRef = std::unique_ptr<T, GstObjectUnref>;
// Mini objects: caps, buffers, samples, messages, events, queries.
template <typename T> using GstMiniRef = std::unique_ptr<T, GstMiniObjectUnref>;
// Strings and other memory from g_malloc.
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

// Takes a new counted reference to `object` (which may be null).
template <typename T> GstRef<T> RefObject(T *object)
{
    return GstRef<T>(object ? static_cast<T *>(gst_object_ref(object)) : nullptr);
}

} // namespace kestrel::platform
