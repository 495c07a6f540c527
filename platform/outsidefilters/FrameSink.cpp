#include "platform/outsidefilters/FrameSink.h"

#include "platform/gst/GstRef.h"

using kestrel::platform::GstMiniRef;

struct _KestrelFrameSink {
  GstVideoSink parent;
  kestrel::outsidefilters::FrameHandler handler;  // set before streaming, then read only
  gpointer handlerData;
};

G_DEFINE_TYPE(KestrelFrameSink, kestrel_frame_sink, GST_TYPE_VIDEO_SINK)

namespace {

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw"));

GstFlowReturn ShowFrame(GstVideoSink* videoSink, GstBuffer* buffer) {
  auto* self = KESTREL_FRAME_SINK(videoSink);
  if (self->handler == nullptr) return GST_FLOW_OK;
  GstBaseSink* base = GST_BASE_SINK(videoSink);
  GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(GST_BASE_SINK_PAD(base)));
  GstMiniRef<GstSample> sample(gst_sample_new(buffer, caps.get(), &base->segment, nullptr));
  self->handler(sample.get(), self->handlerData);
  return GST_FLOW_OK;
}

// show-preroll-frame is a construct property: its default is set after init.
void Constructed(GObject* object) {
  G_OBJECT_CLASS(kestrel_frame_sink_parent_class)->constructed(object);
  g_object_set(object, "show-preroll-frame", FALSE, nullptr);
}

}  // namespace

void kestrel::outsidefilters::SetFrameHandler(KestrelFrameSink* sink, FrameHandler handler, gpointer data) {
  sink->handler = handler;
  sink->handlerData = data;
}

static void kestrel_frame_sink_class_init(KestrelFrameSinkClass* klass) {
  G_OBJECT_CLASS(klass)->constructed = Constructed;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_set_static_metadata(element, "Frame hand-over sink", "Sink/Video",
                                        "Hands every frame it renders to its owner", "Kestrel developers");
  GST_VIDEO_SINK_CLASS(klass)->show_frame = ShowFrame;
}

static void kestrel_frame_sink_init(KestrelFrameSink* self) {
  self->handler = nullptr;
  self->handlerData = nullptr;
  GstBaseSink* base = GST_BASE_SINK(self);
  gst_base_sink_set_sync(base, FALSE);
  gst_base_sink_set_qos_enabled(base, FALSE);
  gst_base_sink_set_async_enabled(base, FALSE);
  gst_base_sink_set_processing_deadline(base, 0);
  gst_base_sink_set_max_lateness(base, -1);
}
