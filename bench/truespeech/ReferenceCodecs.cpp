#include "bench/truespeech/ReferenceCodecs.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <memory>

namespace kestrel::bench {
namespace {

struct ElementUnref {
  void operator()(GstElement* e) const { gst_object_unref(e); }
};
using ElementPtr = std::unique_ptr<GstElement, ElementUnref>;

}  // namespace

std::vector<int16_t> runThroughGstreamer(const std::string& chain, const std::vector<int16_t>& pcm,
                                         std::string& error) {
  std::vector<int16_t> out;
  const std::string raw = "audio/x-raw,format=S16LE,rate=8000,channels=1,layout=interleaved";
  const std::string description = "appsrc name=in format=time caps=" + raw + " ! " + chain +
                                  " ! audioconvert ! audioresample ! " + raw + " ! appsink name=out sync=false";
  GError* parseError = nullptr;
  ElementPtr pipeline(gst_parse_launch(description.c_str(), &parseError));
  if (parseError != nullptr) {
    error = parseError->message;
    g_error_free(parseError);
    return out;
  }
  ElementPtr source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "in"));
  ElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);

  GstBuffer* buffer = gst_buffer_new_memdup(pcm.data(), pcm.size() * sizeof(int16_t));
  GST_BUFFER_PTS(buffer) = 0;
  GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(pcm.size(), GST_SECOND, 8000);
  gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer);
  gst_app_src_end_of_stream(GST_APP_SRC(source.get()));

  while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))) {
    GstMapInfo map;
    GstBuffer* b = gst_sample_get_buffer(sample);
    if (gst_buffer_map(b, &map, GST_MAP_READ)) {
      const auto* s = reinterpret_cast<const int16_t*>(map.data);
      out.insert(out.end(), s, s + map.size / sizeof(int16_t));
      gst_buffer_unmap(b, &map);
    }
    gst_sample_unref(sample);
  }
  GstBus* bus = gst_element_get_bus(pipeline.get());
  if (GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
    GError* e = nullptr;
    gst_message_parse_error(message, &e, nullptr);
    error = e->message;
    g_error_free(e);
    gst_message_unref(message);
    out.clear();
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return out;
}

}  // namespace kestrel::bench
