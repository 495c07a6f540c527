#include "platform/outsidefilters/Video3DRenderer.h"

#include <atomic>

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/FrameSink.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;

struct _KestrelVideo3DRenderer {
  GstBin parent;
  std::atomic<guint64>* framesShown;  // owned; counted on the streaming thread, read anywhere
};

G_DEFINE_TYPE(KestrelVideo3DRenderer, kestrel_video3d_renderer, GST_TYPE_BIN)

namespace {

enum { PROP_0, PROP_FRAMES_SHOWN };
enum { SIGNAL_FRAME_SHOWN, SIGNAL_COUNT };
guint signals[SIGNAL_COUNT];

GstStaticPadTemplate inputTemplate =
    GST_STATIC_PAD_TEMPLATE(kRendererInputPad, GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw"));

void OnFrame(GstSample* sample, gpointer data) {
  auto* self = KESTREL_VIDEO3D_RENDERER(data);
  self->framesShown->fetch_add(1);
  g_signal_emit(self, signals[SIGNAL_FRAME_SHOWN], 0, sample);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) KESTREL_VIDEO3D_RENDERER(element)->framesShown->store(0);
  return GST_ELEMENT_CLASS(kestrel_video3d_renderer_parent_class)->change_state(element, transition);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id != PROP_FRAMES_SHOWN) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  g_value_set_uint64(value, KESTREL_VIDEO3D_RENDERER(object)->framesShown->load());
}

void Finalize(GObject* object) {
  delete KESTREL_VIDEO3D_RENDERER(object)->framesShown;
  G_OBJECT_CLASS(kestrel_video3d_renderer_parent_class)->finalize(object);
}

}  // namespace

static void kestrel_video3d_renderer_class_init(KestrelVideo3DRendererClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->get_property = GetProperty;
  object->finalize = Finalize;
  g_object_class_install_property(
      object, PROP_FRAMES_SHOWN,
      g_param_spec_uint64(kFramesShownProperty, "Frames shown",
                          "Frames rendered since the renderer last went from READY to PAUSED", 0, G_MAXUINT64, 0,
                          GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
  signals[SIGNAL_FRAME_SHOWN] =
      g_signal_new(kFrameShownSignal, G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr, nullptr,
                   G_TYPE_NONE, 1, GST_TYPE_SAMPLE | G_SIGNAL_TYPE_STATIC_SCOPE);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = ChangeState;
  gst_element_class_add_static_pad_template(element, &inputTemplate);
  gst_element_class_set_static_metadata(element, kVideo3DRendererLongName, "Sink/Video",
                                        "Hands every frame, as BGRx, to the program that hosts it", "Kestrel developers");
}

static void kestrel_video3d_renderer_init(KestrelVideo3DRenderer* self) {
  self->framesShown = new std::atomic<guint64>(0);
  GstBin* bin = GST_BIN(self);
  GstElement* sink = GST_ELEMENT(g_object_new(KESTREL_TYPE_FRAME_SINK, "name", "frames", nullptr));
  SetFrameHandler(KESTREL_FRAME_SINK(sink), OnFrame, self);
  GstElement* convert = MakeElement("videoconvert", "convert");
  GstElement* bgrx = MakeElement("capsfilter", "bgrx");
  if (bgrx != nullptr) {
    GstCaps* caps = gst_caps_from_string("video/x-raw, format=(string)BGRx");
    g_object_set(bgrx, "caps", caps, nullptr);
    gst_caps_unref(caps);
  }
  GstElement* first = convert;
  if (!AddAndLink(bin, {convert, bgrx, sink})) {
    g_warning("videoconvert missing: the Video3D renderer accepts BGRx only");
    for (GstElement* helper : {convert, bgrx}) {
      if (helper != nullptr) gst_bin_remove(bin, helper);
    }
    if (GST_OBJECT_PARENT(sink) == nullptr) gst_bin_add(bin, sink);
    first = sink;
  }
  AddGhostPad(bin, first, "sink", &inputTemplate);
}
