#include "platform/outsidefilters/SmartTee.h"

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using kestrel::platform::GstRef;

struct _KestrelSmartTee {
  GstBin parent;
};

G_DEFINE_TYPE(KestrelSmartTee, kestrel_smart_tee, GST_TYPE_BIN)

namespace {

GstStaticPadTemplate inputTemplate =
    GST_STATIC_PAD_TEMPLATE(kSmartTeeInputPad, GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate captureTemplate =
    GST_STATIC_PAD_TEMPLATE(kSmartTeeCapturePad, GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate previewTemplate =
    GST_STATIC_PAD_TEMPLATE(kSmartTeePreviewPad, GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

// What reaches an output from inside the bin passes its ghost pad's internal
// pad. Capture: an unlinked output takes the buffer. Preview: whatever
// becomes of it downstream, its branch carries on.
GstFlowReturn CaptureChain(GstPad* pad, GstObject* parent, GstBuffer* buffer) {
  const GstFlowReturn result = gst_proxy_pad_chain_default(pad, parent, buffer);
  return result == GST_FLOW_NOT_LINKED ? GST_FLOW_OK : result;
}

GstFlowReturn CaptureChainList(GstPad* pad, GstObject* parent, GstBufferList* list) {
  const GstFlowReturn result = gst_proxy_pad_chain_list_default(pad, parent, list);
  return result == GST_FLOW_NOT_LINKED ? GST_FLOW_OK : result;
}

GstBuffer* Untimed(GstBuffer* buffer) {
  buffer = gst_buffer_make_writable(buffer);  // shares the memory with Capture's buffer
  GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
  return buffer;
}

GstFlowReturn PreviewChain(GstPad* pad, GstObject* parent, GstBuffer* buffer) {
  const GstFlowReturn result = gst_proxy_pad_chain_default(pad, parent, Untimed(buffer));
  if (result != GST_FLOW_OK) GST_DEBUG_OBJECT(pad, "preview dropped a buffer: %s", gst_flow_get_name(result));
  return GST_FLOW_OK;
}

GstFlowReturn PreviewChainList(GstPad* pad, GstObject* parent, GstBufferList* list) {
  list = gst_buffer_list_make_writable(list);
  gst_buffer_list_foreach(
      list,
      [](GstBuffer** buffer, guint, gpointer) -> gboolean {
        *buffer = Untimed(*buffer);
        return TRUE;
      },
      nullptr);
  gst_proxy_pad_chain_list_default(pad, parent, list);
  return GST_FLOW_OK;
}

void InterceptOutput(GstPad* ghost, GstPadChainFunction chain, GstPadChainListFunction chainList) {
  GstRef<GstProxyPad> internal(gst_proxy_pad_get_internal(GST_PROXY_PAD(ghost)));
  gst_pad_set_chain_function(GST_PAD(internal.get()), chain);
  gst_pad_set_chain_list_function(GST_PAD(internal.get()), chainList);
}

}  // namespace

static void kestrel_smart_tee_class_init(KestrelSmartTeeClass* klass) {
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &inputTemplate);
  gst_element_class_add_static_pad_template(element, &captureTemplate);
  gst_element_class_add_static_pad_template(element, &previewTemplate);
  gst_element_class_set_static_metadata(element, kSmartTeeLongName, "Generic",
                                        "Splits a stream into Capture (every buffer) and Preview (what it has time for)",
                                        "Kestrel developers");
}

static void kestrel_smart_tee_init(KestrelSmartTee* self) {
  GstBin* bin = GST_BIN(self);
  GstElement* tee = MakeElement("tee", "tee");
  GstElement* previewQueue = MakeElement("queue", "preview");
  if (tee == nullptr || previewQueue == nullptr) {
    if (tee != nullptr) gst_object_unref(gst_object_ref_sink(tee));
    if (previewQueue != nullptr) gst_object_unref(gst_object_ref_sink(previewQueue));
    for (GstStaticPadTemplate* t : {&inputTemplate, &captureTemplate, &previewTemplate}) {
      AddGhostPad(bin, nullptr, nullptr, t);
    }
    return;
  }
  g_object_set(tee, "allow-not-linked", TRUE, nullptr);
  // One picture waits for the preview at most; a newer one replaces it.
  g_object_set(previewQueue, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time", guint64(0), "leaky",
               2 /* downstream */, "silent", TRUE, nullptr);
  gst_bin_add_many(bin, tee, previewQueue, nullptr);

  AddGhostPad(bin, tee, "sink", &inputTemplate);
  GstRef<GstPad> captureBranch(gst_element_request_pad_simple(tee, "src_%u"));
  GstRef<GstPad> previewBranch(gst_element_request_pad_simple(tee, "src_%u"));
  GstRef<GstPad> previewQueueSink(gst_element_get_static_pad(previewQueue, "sink"));
  gst_pad_link(previewBranch.get(), previewQueueSink.get());

  GstRef<GstPadTemplate> captureTempl(gst_static_pad_template_get(&captureTemplate));
  GstPad* capture = gst_ghost_pad_new_from_template(kSmartTeeCapturePad, captureBranch.get(), captureTempl.get());
  gst_element_add_pad(GST_ELEMENT(self), capture);
  InterceptOutput(capture, CaptureChain, CaptureChainList);

  GstPad* preview = AddGhostPad(bin, previewQueue, "src", &previewTemplate);
  InterceptOutput(preview, PreviewChain, PreviewChainList);
}
