#pragma once
// A pipeline for the test device suites, ending in an appsink named "sink";
// stopped and released when it goes out of scope.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <string>

#include "platform/gst/GstRef.h"

namespace kestrel::testdevices {

using platform::GstMiniRef;
using platform::GstRef;

class TestDevicePipeline {
 public:
  explicit TestDevicePipeline(const std::string& description) {
    GError* error = nullptr;
    pipeline_.reset(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
      error_ = error->message;
      g_error_free(error);
    }
    if (pipeline_) {
      gst_object_ref_sink(pipeline_.get());
      sink_.reset(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink"));
    }
  }
  ~TestDevicePipeline() {
    if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  }
  TestDevicePipeline(const TestDevicePipeline&) = delete;
  TestDevicePipeline& operator=(const TestDevicePipeline&) = delete;

  // Empty when the description parsed and has its sink.
  std::string error() const { return pipeline_ && sink_ ? error_ : "no pipeline or no sink: " + error_; }
  GstElement* get() const { return pipeline_.get(); }
  GstElement* element(const char* name) const {
    GstRef<GstElement> found(gst_bin_get_by_name(GST_BIN(pipeline_.get()), name));
    return found.get();  // the pipeline keeps it alive
  }

  // Starts playing and waits (at most 10 s) until the pipeline plays.
  bool play() {
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return false;
    GstState state = GST_STATE_NULL;
    return gst_element_get_state(pipeline_.get(), &state, nullptr, 10 * GST_SECOND) != GST_STATE_CHANGE_FAILURE &&
           state == GST_STATE_PLAYING;
  }

  // The next sample, or none after `timeout`.
  GstMiniRef<GstSample> pull(GstClockTime timeout = 10 * GST_SECOND) {
    return GstMiniRef<GstSample>(gst_app_sink_try_pull_sample(GST_APP_SINK(sink_.get()), timeout));
  }

  // The pipeline clock's time now.
  GstClockTime clockTime() const {
    GstRef<GstClock> clock(gst_element_get_clock(pipeline_.get()));
    return clock ? gst_clock_get_time(clock.get()) : GST_CLOCK_TIME_NONE;
  }

  // The origin of the source's running time on that clock: normally the
  // pipeline's, but when the pipeline plays again after a lost state it may
  // hand a new one to the elements it changes while a source that kept
  // playing keeps its own. The source's is the one its timestamps mean.
  GstClockTime sourceBaseTime() const {
    GstIterator* sources = gst_bin_iterate_sources(GST_BIN(pipeline_.get()));
    GValue item = G_VALUE_INIT;
    GstClockTime base = gst_element_get_base_time(pipeline_.get());
    if (gst_iterator_next(sources, &item) == GST_ITERATOR_OK) {
      base = gst_element_get_base_time(GST_ELEMENT(g_value_get_object(&item)));
      g_value_unset(&item);
    }
    gst_iterator_free(sources);
    return base;
  }

 private:
  GstRef<GstElement> pipeline_;
  GstRef<GstElement> sink_;
  std::string error_;
};

}  // namespace kestrel::testdevices
