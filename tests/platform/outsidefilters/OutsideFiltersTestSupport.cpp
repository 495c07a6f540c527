#include "OutsideFiltersTestSupport.h"

#include <gtest/gtest.h>

#include "platform/outsidefilters/H263EncoderSession.h"

namespace kestrel::outsidefilters::test {

void InitGstreamer() {
  static const bool done = [] {
    gst_init(nullptr, nullptr);
    return true;
  }();
  (void)done;
}

GstRef<GstElementFactory> FactoryByLongName(const std::string& longName) {
  InitGstreamer();
  // The registry's whole list: gst_element_factory_list_get_elements() leaves
  // out elements of class "Generic", such as the Smart Tee.
  GstElementFactory* found = nullptr;
  int matches = 0;
  GList* features = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY);
  for (GList* f = features; f != nullptr; f = f->next) {
    auto* factory = GST_ELEMENT_FACTORY(f->data);
    const char* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    if (name != nullptr && longName == name) {
      found = factory;
      ++matches;
    }
  }
  GstRef<GstElementFactory> result(matches == 1 ? GST_ELEMENT_FACTORY(gst_object_ref(found)) : nullptr);
  gst_plugin_feature_list_free(features);
  return result;
}

GstRef<GstElement> MakeByLongName(const std::string& longName) {
  auto factory = FactoryByLongName(longName);
  if (!factory) return nullptr;
  GstElement* element = gst_element_factory_create(factory.get(), nullptr);
  return GstRef<GstElement>(element != nullptr ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

Harness MakeHarness(const char* factory, const char* inputPad, const char* outputPad) {
  InitGstreamer();
  return Harness(gst_harness_new_with_padnames(factory, inputPad, outputPad));
}

ScopedPipeline::ScopedPipeline(const std::string& description) {
  InitGstreamer();
  GError* error = nullptr;
  pipeline_ = gst_parse_launch(description.c_str(), &error);
  if (error != nullptr) {
    ADD_FAILURE() << "cannot build '" << description << "': " << error->message;
    g_error_free(error);
  }
}

ScopedPipeline::~ScopedPipeline() {
  if (pipeline_ != nullptr) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
  }
}

GstElement* ScopedPipeline::Element(const char* name) const {
  GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline_), name);
  if (element != nullptr) gst_object_unref(element);  // the pipeline keeps it alive
  return element;
}

std::string ScopedPipeline::RunToEnd(GstClockTime timeout) {
  if (pipeline_ == nullptr) return "no pipeline";
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return "cannot play";
  GstRef<GstBus> bus(gst_element_get_bus(pipeline_));
  GstMiniRef<GstMessage> message(
      gst_bus_timed_pop_filtered(bus.get(), timeout, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
  if (!message) return "no end of stream in time";
  if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS) return {};
  GError* error = nullptr;
  gst_message_parse_error(message.get(), &error, nullptr);
  std::string text = error != nullptr ? error->message : "error";
  g_clear_error(&error);
  return text;
}

std::string ScopedPipeline::PendingError() const {
  GstRef<GstBus> bus(gst_element_get_bus(pipeline_));
  GstMiniRef<GstMessage> message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
  if (!message) return {};
  GError* error = nullptr;
  gst_message_parse_error(message.get(), &error, nullptr);
  std::string text = error != nullptr ? error->message : "error";
  g_clear_error(&error);
  return text;
}

std::vector<uint8_t> MovingI420(int width, int height, int index, int noise) {
  std::vector<uint8_t> picture(size_t(width) * height * 3 / 2);
  uint32_t seed = 12345u + uint32_t(index) * 7919u;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int value = ((x + index * 7) / 25 * 37 + y / 3) + (noise > 0 ? int(random() % unsigned(noise)) : 0);
      picture[size_t(y) * width + x] = uint8_t(value & 255);
    }
  }
  uint8_t* u = picture.data() + size_t(width) * height;
  uint8_t* v = u + size_t(width / 2) * (height / 2);
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < width / 2; ++x) {
      u[size_t(y) * (width / 2) + x] = uint8_t((x * 3 + index) & 255);
      v[size_t(y) * (width / 2) + x] = uint8_t((y * 2 + 128) & 255);
    }
  }
  return picture;
}

GstBuffer* BufferOf(const std::vector<uint8_t>& bytes, GstClockTime pts, GstClockTime duration) {
  GstBuffer* buffer = gst_buffer_new_memdup(bytes.data(), bytes.size());
  GST_BUFFER_PTS(buffer) = pts;
  GST_BUFFER_DURATION(buffer) = duration;
  return buffer;
}

std::vector<uint8_t> BytesOf(GstBuffer* buffer) {
  std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
  gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
  return bytes;
}

std::vector<std::vector<uint8_t>> EncodedQcif(int count, int keyEvery) {
  H263EncoderSession session;
  EXPECT_TRUE(session.Open({}, 128000)) << session.Error();
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < count; ++i) {
    const auto picture = MovingI420(176, 144, i, 4);
    H263EncoderSession::Picture planes;
    planes.planes[0] = picture.data();
    planes.planes[1] = picture.data() + 176 * 144;
    planes.planes[2] = picture.data() + 176 * 144 * 5 / 4;
    planes.strides[0] = 176;
    planes.strides[1] = planes.strides[2] = 88;
    auto encoded = session.Encode(planes, i % keyEvery == 0);
    EXPECT_TRUE(encoded) << session.Error();
    pictures.push_back(encoded ? encoded->bytes : std::vector<uint8_t>{});
  }
  return pictures;
}

}  // namespace kestrel::outsidefilters::test
