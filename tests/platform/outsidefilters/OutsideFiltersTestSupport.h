#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gst/GstRef.h"

namespace kestrel::outsidefilters::test {

using platform::GstMiniRef;
using platform::GstRef;

// Initialises GStreamer once (the test's environment points it at the plugin
// of the build tree and a registry of its own).
void InitGstreamer();

// The one factory whose long name is `longName`; null when none or several.
GstRef<GstElementFactory> FactoryByLongName(const std::string& longName);
// A new element of that factory, owned by the caller (not floating).
GstRef<GstElement> MakeByLongName(const std::string& longName);

// A harness that tears itself down.
struct HarnessDeleter {
  void operator()(GstHarness* harness) const { gst_harness_teardown(harness); }
};
using Harness = std::unique_ptr<GstHarness, HarnessDeleter>;
Harness MakeHarness(const char* factory, const char* inputPad = "sink", const char* outputPad = "src");

// A pipeline set to NULL and released at scope end.
class ScopedPipeline {
 public:
  explicit ScopedPipeline(const std::string& description);
  ~ScopedPipeline();
  ScopedPipeline(const ScopedPipeline&) = delete;
  ScopedPipeline& operator=(const ScopedPipeline&) = delete;
  GstElement* Get() const { return pipeline_; }
  GstElement* Element(const char* name) const;  // borrowed
  // Plays until end of stream; the error text, or empty when it ended well.
  std::string RunToEnd(GstClockTime timeout = 30 * GST_SECOND);
  // The first error on the bus, if any (empty when none).
  std::string PendingError() const;

 private:
  GstElement* pipeline_ = nullptr;
};

// A 176 x 144 (or any size) I420 picture: a moving pattern with some noise,
// the same for the same index, so that rates and sizes are repeatable.
std::vector<uint8_t> MovingI420(int width, int height, int index, int noise = 16);
GstBuffer* BufferOf(const std::vector<uint8_t>& bytes, GstClockTime pts = GST_CLOCK_TIME_NONE,
                    GstClockTime duration = GST_CLOCK_TIME_NONE);
std::vector<uint8_t> BytesOf(GstBuffer* buffer);

// `count` QCIF H.263 pictures of MovingI420, a key frame every `keyEvery`.
std::vector<std::vector<uint8_t>> EncodedQcif(int count, int keyEvery);

}  // namespace kestrel::outsidefilters::test
