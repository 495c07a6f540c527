#include "platform/outsidefilters/VideoRenderer.h"

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/VideoSinkChoice.h"

GST_DEBUG_CATEGORY_STATIC(kestrel_video_renderer_debug);
#define GST_CAT_DEFAULT kestrel_video_renderer_debug

using namespace kestrel::outsidefilters;

// Threads: the sink is chosen in change_state, under the element's state lock.
struct _KestrelVideoRenderer {
  GstBin parent;
  GstElement* convert;  // owned by the bin
  GstElement* sink;     // owned by the bin; null until first READY
};

G_DEFINE_TYPE(KestrelVideoRenderer, kestrel_video_renderer, GST_TYPE_BIN)

namespace {

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw"));

// A sink of `factory` that reached READY, or null. It opens before it joins
// the bin, with no bus: the error a sink posts when it finds no display
// reaches nobody.
GstElement* OpenSink(const std::string& factory) {
  GstElement* sink = gst_element_factory_make(factory.c_str(), "sink");
  if (sink == nullptr) return nullptr;
  gst_object_ref_sink(sink);
  if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_SUCCESS) {
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return nullptr;
  }
  return sink;
}

GstElement* ChooseSink() {
  for (const auto& factory : VideoSinkCandidates(DisplayEnvironmentOfProcess())) {
    if (GstElement* sink = OpenSink(factory)) {
      GST_INFO("showing video with %s", factory.c_str());
      return sink;
    }
    GST_INFO("%s does not open here", factory.c_str());
  }
  GST_INFO("no display: video is consumed without being shown");
  GstElement* sink = gst_element_factory_make("fakesink", "sink");
  if (sink != nullptr) gst_object_ref_sink(sink);
  return sink;
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  auto* self = KESTREL_VIDEO_RENDERER(element);
  if (transition == GST_STATE_CHANGE_NULL_TO_READY && self->sink == nullptr && self->convert != nullptr) {
    GstElement* sink = ChooseSink();
    if (sink == nullptr) {
      GST_ELEMENT_ERROR(element, CORE, MISSING_PLUGIN, ("No video sink is installed, not even fakesink."), (nullptr));
      return GST_STATE_CHANGE_FAILURE;
    }
    gst_bin_add(GST_BIN(self), sink);
    gst_object_unref(sink);  // the bin holds it now
    if (!gst_element_link(self->convert, sink)) {
      GST_ELEMENT_ERROR(element, CORE, NEGOTIATION, ("The video sink takes no raw video."), (nullptr));
      return GST_STATE_CHANGE_FAILURE;
    }
    self->sink = sink;
  }
  return GST_ELEMENT_CLASS(kestrel_video_renderer_parent_class)->change_state(element, transition);
}

}  // namespace

static void kestrel_video_renderer_class_init(KestrelVideoRendererClass* klass) {
  GST_DEBUG_CATEGORY_INIT(kestrel_video_renderer_debug, "kestrelvideorenderer", 0, "Kestrel default video renderer");
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = ChangeState;
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_set_static_metadata(element, kVideoRendererLongName, "Sink/Video",
                                        "Shows video in a window of its own; consumes it where there is no display",
                                        "Kestrel developers");
}

static void kestrel_video_renderer_init(KestrelVideoRenderer* self) {
  self->sink = nullptr;
  self->convert = MakeElement("videoconvert", "convert");
  if (self->convert != nullptr) gst_bin_add(GST_BIN(self), self->convert);
  AddGhostPad(GST_BIN(self), self->convert, "sink", &sinkTemplate);
}
