#include "platform/outsidefilters/H263EncodeFilter.h"

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/H263Encode.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;

struct _KestrelH263EncodeFilter {
  GstBin parent;
  GstElement* encoder;  // owned by the bin
};

G_DEFINE_TYPE(KestrelH263EncodeFilter, kestrel_h263_encode_filter, GST_TYPE_BIN)

namespace {

enum { PROP_0, PROP_BITRATE, PROP_KEYFRAME_INTERVAL };

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                            GST_STATIC_CAPS("video/x-raw"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-h263, variant=(string)itu, h263version=(string)h263, width=(int)176, height=(int)144"));

const char* PropertyName(guint id) { return id == PROP_BITRATE ? kBitrateProperty : kKeyFrameIntervalProperty; }

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec*) {
  g_object_set_property(G_OBJECT(KESTREL_H263_ENCODE_FILTER(object)->encoder), PropertyName(id), value);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec*) {
  g_object_get_property(G_OBJECT(KESTREL_H263_ENCODE_FILTER(object)->encoder), PropertyName(id), value);
}

}  // namespace

static void kestrel_h263_encode_filter_class_init(KestrelH263EncodeFilterClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  InstallH263EncodeProperties(object, PROP_BITRATE, PROP_KEYFRAME_INTERVAL);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, kH263EncodeLongName, "Codec/Encoder/Video",
                                        "Compresses camera video as QCIF H.263 for a call", "Kestrel developers");
  gst_element_class_add_static_metadata(element, kPropertyPageMetadataKey, kH263EncodePageId);
}

static void kestrel_h263_encode_filter_init(KestrelH263EncodeFilter* self) {
  GstBin* bin = GST_BIN(self);
  self->encoder = GST_ELEMENT(g_object_new(KESTREL_TYPE_H263_ENCODE, "name", "encoder", nullptr));
  GstElement* convert = MakeElement("videoconvert", "convert");
  GstElement* scale = MakeElement("videoscale", "scale");
  GstElement* qcif = MakeElement("capsfilter", "qcif");
  if (qcif != nullptr) {
    GstCaps* caps = gst_caps_from_string("video/x-raw, format=(string)I420, width=(int)176, height=(int)144");
    g_object_set(qcif, "caps", caps, nullptr);
    gst_caps_unref(caps);
  }
  GstElement* first = convert;
  if (!AddAndLink(bin, {convert, scale, qcif, self->encoder})) {
    // Without GStreamer's base converters the filter takes QCIF I420 only.
    g_warning("video conversion missing: the H.263 encode filter accepts 176 x 144 I420 only");
    for (GstElement* helper : {convert, scale, qcif}) {
      if (helper != nullptr) gst_bin_remove(bin, helper);
    }
    first = self->encoder;
  }
  AddGhostPad(bin, first, "sink", &sinkTemplate);
  AddGhostPad(bin, self->encoder, "src", &srcTemplate);
}
