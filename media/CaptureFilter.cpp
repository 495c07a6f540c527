#include "media/CaptureFilter.h"

#include "media/MediaGraph.h"
#include "media/MediaKind.h"
#include "platform/gst/GstRef.h"

#include <algorithm>

namespace kestrel::media {

using platform::GstMiniRef;
using platform::GstRef;

namespace {

GstElement *Make(const char *factory, const char *name = nullptr)
{
    return gst_element_factory_make(factory, name);
}

// The capsfilter of a wrapped capture filter whose "Capture" pad carries
// `kind`, or null.
GstRef<GstElement> CaptureFormat(GstElement *filter, MediaKind kind)
{
    GstRef<GstPad> pin;
    CMediaGraph::FindPin(filter, kCapturePadName, pin);
    if (!pin || !GST_IS_BIN(filter))
        return nullptr;
    GstRef<GstElement> format(gst_bin_get_by_name(GST_BIN(filter), kCaptureFormatName));
    if (!format)
        return nullptr;
    GstCaps *caps = nullptr;
    g_object_get(format.get(), "caps", &caps, nullptr);
    GstMiniRef<GstCaps> held(caps);
    if (MediaKindOfCaps(caps) != kind)
        return nullptr;
    return format;
}

// The device's own element inside a capture filter.
GstRef<GstElement> DeviceSource(GstBin *filter)
{
    GstRef<GstElement> found;
    GstIterator *sources = gst_bin_iterate_sources(filter);
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(sources, &item) == GST_ITERATOR_OK)
        found = platform::RefObject(GST_ELEMENT(g_value_get_object(&item)));
    g_value_unset(&item);
    gst_iterator_free(sources);
    return found;
}

bool HasProperty(GstElement *element, const char *name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

// Asks the device itself for buffers of `bytes` of the capture format, so the
// regrouping behind it passes them on as they come instead of waiting for the
// rest of a buffer: an audio capture source by its period (latency-time, in
// microseconds), any other source by its block size.
void AskDeviceForBuffers(GstElement *source, guint bytes)
{
    constexpr guint kCaptureBytesPerSecond = kMicrophoneRate * 2; // 16-bit mono
    if (HasProperty(source, "latency-time") && HasProperty(source, "buffer-time")) {
        const gint64 periodUs = gint64(bytes) * G_USEC_PER_SEC / kCaptureBytesPerSecond;
        gint64 bufferUs = 0;
        g_object_get(source, "buffer-time", &bufferUs, nullptr);
        g_object_set(source, "latency-time", periodUs, "buffer-time", std::max(bufferUs, 2 * periodUs), nullptr);
    } else if (HasProperty(source, "blocksize")) {
        g_object_set(source, "blocksize", bytes, nullptr);
    }
}

} // namespace

GstElement *WrapCaptureElement(GstElement *source, DeviceCategory category, const std::string &name)
{
    if (!source)
        return nullptr;
    GstRef<GstElement> held(GST_ELEMENT(gst_object_ref_sink(source)));
    const bool video = category == DeviceCategory::Video;
    GstElement *convert = Make(video ? "videoconvert" : "audioconvert");
    GstElement *adapt = Make(video ? "videoscale" : "audioresample");
    GstElement *format = Make("capsfilter", kCaptureFormatName);
    GstElement *bin = gst_bin_new(name.empty() ? nullptr : name.c_str());
    if (!convert || !adapt || !format) {
        for (GstElement *element : {convert, adapt, format, bin})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        return nullptr;
    }
    GstMiniRef<GstCaps> caps(video ? gst_caps_new_empty_simple("video/x-raw")
                                   : gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                                         G_TYPE_STRING, "interleaved", "channels", G_TYPE_INT, 1,
                                                         "rate", G_TYPE_INT, kMicrophoneRate, nullptr));
    g_object_set(format, "caps", caps.get(), nullptr);
    gst_bin_add_many(GST_BIN(bin), held.get(), convert, adapt, format, nullptr);
    GstRef<GstPad> target(gst_element_get_static_pad(format, "src"));
    // From an always template, so the pad says what it is like a device's own.
    static GstStaticPadTemplate captureTemplate =
        GST_STATIC_PAD_TEMPLATE("Capture", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    GstPadTemplate *templ = gst_static_pad_template_get(&captureTemplate);
    GstPad *capture = gst_ghost_pad_new_from_template(kCapturePadName, target.get(), templ);
    gst_object_unref(templ);
    if (!gst_element_link_many(held.get(), convert, adapt, format, nullptr) || !capture ||
        !gst_element_add_pad(bin, capture)) {
        if (capture && !GST_OBJECT_PARENT(capture))
            gst_object_unref(capture);
        gst_object_unref(gst_object_ref_sink(bin));
        return nullptr;
    }
    return bin;
}

GstElement *CreateCaptureFilter(const ICaptureDevice &device)
{
    return WrapCaptureElement(device.CreateElement(), device.Category(), device.Name());
}

HResult SetCaptureSize(GstElement *filter, int width, int height)
{
    GstRef<GstElement> format = CaptureFormat(filter, MediaKind::Video);
    if (!format)
        return result::False;
    GstCaps *current = nullptr;
    g_object_get(format.get(), "caps", &current, nullptr);
    GstMiniRef<GstCaps> caps(gst_caps_make_writable(current));
    for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i)
        gst_structure_set(gst_caps_get_structure(caps.get(), i), "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                          height, nullptr);
    g_object_set(format.get(), "caps", caps.get(), nullptr);
    return result::Ok;
}

HResult SuggestAudioBuffer(GstElement *filter)
{
    GstRef<GstElement> format = CaptureFormat(filter, MediaKind::Audio);
    if (!format)
        return result::False;
    GstBin *bin = GST_BIN(filter);
    GstRef<GstElement> split(gst_bin_get_by_name(bin, kCaptureBuffersName));
    if (!split) {
        // Regroup what the device delivers into buffers of exactly the
        // suggested size behind the format, and move "Capture" behind it.
        GstElement *made = Make("audiobuffersplit", kCaptureBuffersName);
        if (!made)
            return result::Fail;
        gst_bin_add(bin, made);
        split = platform::RefObject(made);
        GstRef<GstPad> capture(gst_element_get_static_pad(filter, kCapturePadName));
        GstRef<GstPad> formatSrc(gst_element_get_static_pad(format.get(), "src"));
        GstRef<GstPad> splitSrc(gst_element_get_static_pad(made, "src"));
        GstGhostPad *ghost = GST_GHOST_PAD(capture.get());
        // The ghost pad holds the format's src pad until it is retargeted.
        gst_ghost_pad_set_target(ghost, nullptr);
        if (!gst_element_link(format.get(), made) || !gst_ghost_pad_set_target(ghost, splitSrc.get())) {
            gst_bin_remove(bin, made);
            gst_ghost_pad_set_target(ghost, formatSrc.get());
            return result::Fail;
        }
        gst_element_sync_state_with_parent(made);
    }
    g_object_set(split.get(), "output-buffer-size", kSuggestedAudioBufferBytes, nullptr);
    if (GstRef<GstElement> source = DeviceSource(bin))
        AskDeviceForBuffers(source.get(), kSuggestedAudioBufferBytes);
    return result::Ok;
}

} // namespace kestrel::media
