#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;
using namespace kestrel::outsidefilters::test;

namespace {

// What arrived at the receiving side, counted on the streaming threads.
struct Arrivals {
  std::mutex lock;
  std::condition_variable changed;
  int frames = 0;         // guarded by lock
  int qcifBgrxFrames = 0; // guarded by lock
  int audioBuffers = 0;   // guarded by lock

  bool WaitFor(int wantedFrames, int wantedAudio, std::chrono::seconds deadline) {
    std::unique_lock hold(lock);
    return changed.wait_for(hold, deadline, [&] { return frames >= wantedFrames && audioBuffers >= wantedAudio; });
  }
};

void OnFrame(GstElement*, GstSample* sample, gpointer data) {
  auto* arrivals = static_cast<Arrivals*>(data);
  GstVideoInfo info;
  const bool qcifBgrx = gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
                        GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx && GST_VIDEO_INFO_WIDTH(&info) == 176 &&
                        GST_VIDEO_INFO_HEIGHT(&info) == 144;
  std::lock_guard hold(arrivals->lock);
  ++arrivals->frames;
  if (qcifBgrx) ++arrivals->qcifBgrxFrames;
  arrivals->changed.notify_all();
}

GstPadProbeReturn OnAudio(GstPad*, GstPadProbeInfo*, gpointer data) {
  auto* arrivals = static_cast<Arrivals*>(data);
  std::lock_guard hold(arrivals->lock);
  ++arrivals->audioBuffers;
  arrivals->changed.notify_all();
  return GST_PAD_PROBE_OK;
}

// Element names are looked up through the bins inside, so they must differ
// from the names inside the elements ("encoder", "decoder", "convert", ...).
bool LinkByName(ScopedPipeline& pipeline, const char* from, const char* fromPad, const char* to, const char* toPad) {
  return gst_element_link_pads(pipeline.Element(from), fromPad, pipeline.Element(to), toPad);
}

}  // namespace

// A call's media over loopback (127.3.1.1 sends to 127.3.1.2), through the
// Tideline RTP elements: a camera's 320 x 240 video and a microphone's audio
// are shown as QCIF BGRx frames and played as raw audio at the far end.
TEST(CallMedia, CameraAndMicrophoneReachTheFarEndsRendererAndAudioSink) {
  ScopedPipeline receive(
      "tidelinertpsrc name=source port=6060 bind-address=127.3.1.2 "
      "kestrelh263dec name=video-decoder ! kestrelvideo3d name=renderer "
      "kestrelacmwrapper name=audio-decoder ! fakesink name=speaker sync=true");
  ScopedPipeline send(
      "videotestsrc is-live=true ! video/x-raw, width=320, height=240, framerate=15/1 ! kestrelh263enc name=camera-encoder "
      "audiotestsrc is-live=true samplesperbuffer=2000 ! kestreltruespeech name=microphone-encoder "
      "tidelinertprender name=sender address=127.3.1.2 port=6060 bind-address=127.3.1.1");
  ASSERT_TRUE(receive.Get() && send.Get());
  ASSERT_TRUE(LinkByName(receive, "source", "Video Transport", "video-decoder", "sink"));
  ASSERT_TRUE(LinkByName(receive, "source", "Audio Transport", "audio-decoder", "sink"));
  ASSERT_TRUE(LinkByName(send, "camera-encoder", "src", "sender", "Video Transport"));
  ASSERT_TRUE(LinkByName(send, "microphone-encoder", "src", "sender", "Audio Transport"));

  Arrivals arrivals;
  g_signal_connect(receive.Element("renderer"), kFrameShownSignal, G_CALLBACK(OnFrame), &arrivals);
  GstRef<GstPad> speaker(gst_element_get_static_pad(receive.Element("speaker"), "sink"));
  gst_pad_add_probe(speaker.get(), GST_PAD_PROBE_TYPE_BUFFER, OnAudio, &arrivals, nullptr);

  ASSERT_NE(gst_element_set_state(receive.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  ASSERT_NE(gst_element_set_state(send.Get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  EXPECT_TRUE(arrivals.WaitFor(30, 20, std::chrono::seconds(30)))
      << arrivals.frames << " frames and " << arrivals.audioBuffers << " audio buffers arrived";
  gst_element_set_state(send.Get(), GST_STATE_NULL);
  gst_element_set_state(receive.Get(), GST_STATE_NULL);

  std::lock_guard hold(arrivals.lock);
  EXPECT_EQ(arrivals.qcifBgrxFrames, arrivals.frames);
  EXPECT_TRUE(receive.PendingError().empty()) << receive.PendingError();
  EXPECT_TRUE(send.PendingError().empty()) << send.PendingError();
}
