#include "platform/outsidefilters/AcmWrapper.h"

#include <cstring>

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/LiveAudioStamp.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using kestrel::platform::GstMiniRef;
using kestrel::platform::GstRef;

// Threads: the decoder is chosen on the streaming thread, when caps arrive
// (with the sink pad's stream lock held); nothing else touches it.
struct _KestrelAcmWrapper {
  GstBin parent;
  GstPad* sinkPad;       // owned by the bin
  GstElement* decoder;   // owned by the bin; null until the first caps
  GstElement* stamp;     // owned by the bin
};

G_DEFINE_TYPE(KestrelAcmWrapper, kestrel_acm_wrapper, GST_TYPE_BIN)

namespace {

enum { PROP_0, PROP_LATENCY };

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-truespeech; audio/x-mulaw"));

GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw"));

const char* DecoderFor(GstCaps* caps) {
  if (gst_caps_is_empty(caps)) return nullptr;
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  if (strcmp(name, "audio/x-truespeech") == 0) return "avdec_truespeech";
  if (strcmp(name, "audio/x-mulaw") == 0) return "mulawdec";
  return nullptr;
}

// Puts the decoder `caps` need between the sink pad and the timeline.
bool UseDecoderFor(KestrelAcmWrapper* self, GstCaps* caps) {
  const char* wanted = DecoderFor(caps);
  if (wanted == nullptr) return false;
  if (self->decoder != nullptr) {
    GstElementFactory* factory = gst_element_get_factory(self->decoder);
    if (factory != nullptr && strcmp(GST_OBJECT_NAME(factory), wanted) == 0) return true;
    gst_ghost_pad_set_target(GST_GHOST_PAD(self->sinkPad), nullptr);
    gst_element_set_state(self->decoder, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(self), self->decoder);
    self->decoder = nullptr;
  }
  GstElement* decoder = gst_element_factory_make(wanted, nullptr);
  if (decoder == nullptr) {
    GST_ELEMENT_ERROR(self, CORE, MISSING_PLUGIN, ("The audio decoder %s is not installed.", wanted), (nullptr));
    return false;
  }
  gst_bin_add(GST_BIN(self), decoder);
  GstRef<GstPad> target(gst_element_get_static_pad(decoder, "sink"));
  if (!gst_element_link(decoder, self->stamp) || !gst_ghost_pad_set_target(GST_GHOST_PAD(self->sinkPad), target.get())) {
    gst_bin_remove(GST_BIN(self), decoder);
    return false;
  }
  gst_element_sync_state_with_parent(decoder);
  self->decoder = decoder;
  return true;
}

gboolean SinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    if (!UseDecoderFor(KESTREL_ACM_WRAPPER(parent), caps)) {
      gst_event_unref(event);
      return FALSE;
    }
  }
  return gst_pad_event_default(pad, parent, event);
}

// Before the first caps there is no decoder to ask: the pad answers for both.
gboolean SinkQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_CAPS: {
      GstCaps* filter = nullptr;
      gst_query_parse_caps(query, &filter);
      GstMiniRef<GstCaps> caps(gst_pad_get_pad_template_caps(pad));
      if (filter != nullptr) caps.reset(gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST));
      gst_query_set_caps_result(query, caps.get());
      return TRUE;
    }
    case GST_QUERY_ACCEPT_CAPS: {
      GstCaps* caps = nullptr;
      gst_query_parse_accept_caps(query, &caps);
      GstMiniRef<GstCaps> accepted(gst_pad_get_pad_template_caps(pad));
      gst_query_set_accept_caps_result(query, DecoderFor(caps) != nullptr && gst_caps_is_subset(caps, accepted.get()));
      return TRUE;
    }
    default:
      return gst_pad_query_default(pad, parent, query);
  }
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id != PROP_LATENCY) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  g_object_set_property(G_OBJECT(KESTREL_ACM_WRAPPER(object)->stamp), kLatencyProperty, value);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id != PROP_LATENCY) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  g_object_get_property(G_OBJECT(KESTREL_ACM_WRAPPER(object)->stamp), kLatencyProperty, value);
}

}  // namespace

static void kestrel_acm_wrapper_class_init(KestrelAcmWrapperClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  InstallLatencyProperty(object, PROP_LATENCY);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, kAcmWrapperLongName, "Codec/Decoder/Audio",
                                        "Decodes a call's TrueSpeech or mu-law audio for any audio sink",
                                        "Kestrel developers");
}

static void kestrel_acm_wrapper_init(KestrelAcmWrapper* self) {
  GstBin* bin = GST_BIN(self);
  self->decoder = nullptr;
  self->stamp = GST_ELEMENT(g_object_new(KESTREL_TYPE_LIVE_AUDIO_STAMP, "name", "timeline", nullptr));
  // The sink holds each buffer until shortly before it plays. The queue takes
  // that wait off the network's thread, which must not be held up: it
  // timestamps on arrival, and the RTP source drops samples it cannot hand
  // on. Only a sink more than a second behind pushes back.
  GstElement* handOver = MakeElement("queue", "handover");
  if (handOver != nullptr) {
    g_object_set(handOver, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", guint64(GST_SECOND), nullptr);
  }
  GstElement* convert = MakeElement("audioconvert", "convert");
  GstElement* resample = MakeElement("audioresample", "resample");
  GstElement* last = self->stamp;
  if (AddAndLink(bin, {self->stamp, handOver, convert, resample})) {
    last = resample;
  } else {
    g_warning("queue, audioconvert or audioresample missing: the ACM wrapper delivers the decoders' own format");
    for (GstElement* helper : {handOver, convert, resample}) {
      if (helper != nullptr) gst_bin_remove(bin, helper);
    }
  }
  self->sinkPad = AddGhostPad(bin, nullptr, nullptr, &sinkTemplate);
  gst_pad_set_event_function(self->sinkPad, SinkEvent);
  gst_pad_set_query_function(self->sinkPad, SinkQuery);
  AddGhostPad(bin, last, "src", &srcTemplate);
}
