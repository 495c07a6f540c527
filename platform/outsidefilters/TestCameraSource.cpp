#include "platform/outsidefilters/TestCameraSource.h"

#include <gst/video/video.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/testpattern/TestPatternWriter.h"

using kestrel::platform::GstRef;
namespace pattern = kestrel::testpattern;

namespace {

// What the element keeps between frames. Threads: fill() runs on the
// streaming thread; start(), set_caps() run while it is stopped or on it;
// unlock() and unlock_stop() come from the thread changing the state, and
// the latency query from any thread.
struct CameraState {
  std::mutex waitLock;  // guards flushing and pendingWait
  bool flushing = false;
  GstClockID pendingWait = nullptr;  // the clock wait fill() is in, if any

  std::atomic<GstClockTime> frameDuration{GST_CLOCK_TIME_NONE};  // of the negotiated caps

  // Streaming thread only.
  GstVideoInfo info{};
  uint32_t nextFrameNumber = 0;
  bool gridStarted = false;
  GstClockTime gridStart = 0;  // running time of the first frame since the last (re)start
  uint64_t gridFrames = 0;     // frames made since then
  bool discont = false;
  bool haveOwnBase = false;
  GstClockTime ownBase = 0;  // base time used when the pipeline gives no clock
};

}  // namespace

struct _KestrelTestCameraSource {
  GstPushSrc parent;
  CameraState state;  // constructed in init, destroyed in finalize
};

G_DEFINE_TYPE(KestrelTestCameraSource, kestrel_test_camera_source, GST_TYPE_PUSH_SRC)

namespace {

#define KESTREL_TEST_CAMERA_CAPS(width, height)                                                          \
  "video/x-raw, format=(string){ I420, BGRx }, width=(int)" width ", height=(int)" height ", "           \
  "framerate=(fraction)[ 1/60, 120/1 ], pixel-aspect-ratio=(fraction)1/1"

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(KESTREL_TEST_CAMERA_CAPS("176", "144") "; " KESTREL_TEST_CAMERA_CAPS("352", "288")));

CameraState& state(GstBaseSrc* base) { return reinterpret_cast<KestrelTestCameraSource*>(base)->state; }

int64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

GstCaps* fixate(GstBaseSrc* base, GstCaps* caps) {
  caps = gst_caps_truncate(gst_caps_make_writable(caps));
  GstStructure* s = gst_caps_get_structure(caps, 0);
  gst_structure_fixate_field_nearest_int(s, "width", 176);
  gst_structure_fixate_field_nearest_int(s, "height", 144);
  gst_structure_fixate_field_nearest_fraction(s, "framerate", 30, 1);
  gst_structure_fixate_field_string(s, "format", "I420");
  return GST_BASE_SRC_CLASS(kestrel_test_camera_source_parent_class)->fixate(base, caps);
}

gboolean setCaps(GstBaseSrc* base, GstCaps* caps) {
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FPS_N(&info) <= 0 || GST_VIDEO_INFO_FPS_D(&info) <= 0) {
    return FALSE;
  }
  CameraState& s = state(base);
  s.info = info;
  s.gridStarted = false;  // a new frame rate starts a new grid of frame times
  s.frameDuration = gst_util_uint64_scale_int(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info));
  gst_base_src_set_blocksize(base, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
  return TRUE;
}

gboolean start(GstBaseSrc* base) {
  CameraState& s = state(base);
  s.nextFrameNumber = 0;
  s.gridStarted = false;
  s.discont = false;
  s.haveOwnBase = false;
  return TRUE;
}

gboolean unlock(GstBaseSrc* base) {
  CameraState& s = state(base);
  std::lock_guard<std::mutex> lock(s.waitLock);
  s.flushing = true;
  if (s.pendingWait != nullptr) gst_clock_id_unschedule(s.pendingWait);
  return TRUE;
}

gboolean unlockStop(GstBaseSrc* base) {
  CameraState& s = state(base);
  std::lock_guard<std::mutex> lock(s.waitLock);
  s.flushing = false;
  return TRUE;
}

// The frame is synchronised in fill(), before it is made; the base class must
// not wait again.
void getTimes(GstBaseSrc*, GstBuffer*, GstClockTime* start, GstClockTime* end) {
  *start = GST_CLOCK_TIME_NONE;
  *end = GST_CLOCK_TIME_NONE;
}

gboolean query(GstBaseSrc* base, GstQuery* query) {
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    const GstClockTime frame = state(base).frameDuration;
    if (!GST_CLOCK_TIME_IS_VALID(frame)) return FALSE;
    // Like a camera: a frame is there one frame time after its exposure began.
    gst_query_set_latency(query, TRUE, frame, frame);
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(kestrel_test_camera_source_parent_class)->query(base, query);
}

// Waits on `clock` until `deadline`; false when unlock() woke the wait.
bool WaitUntil(CameraState& s, GstClock* clock, GstClockTime deadline) {
  GstClockID wait = gst_clock_new_single_shot_id(clock, deadline);
  {
    std::lock_guard<std::mutex> lock(s.waitLock);
    if (s.flushing) {
      gst_clock_id_unref(wait);
      return false;
    }
    s.pendingWait = wait;
  }
  const GstClockReturn result = gst_clock_id_wait(wait, nullptr);
  {
    std::lock_guard<std::mutex> lock(s.waitLock);
    s.pendingWait = nullptr;
  }
  gst_clock_id_unref(wait);
  return result != GST_CLOCK_UNSCHEDULED;
}

GstFlowReturn fill(GstPushSrc* push, GstBuffer* buffer) {
  GstBaseSrc* base = GST_BASE_SRC(push);
  GstElement* element = GST_ELEMENT(push);
  CameraState& s = state(base);
  const GstClockTime frameDuration = s.frameDuration;
  if (!GST_CLOCK_TIME_IS_VALID(frameDuration)) return GST_FLOW_NOT_NEGOTIATED;

  GstRef<GstClock> clock(gst_element_get_clock(element));
  GstClockTime baseTime = gst_element_get_base_time(element);
  if (!clock) {
    // No pipeline clock: keep real time on the system clock all the same.
    clock.reset(gst_system_clock_obtain());
    if (!s.haveOwnBase) {
      s.ownBase = gst_clock_get_time(clock.get());
      s.haveOwnBase = true;
    }
    baseTime = s.ownBase;
  }
  const GstClockTime now = gst_clock_get_time(clock.get());
  const GstClockTime nowRunning = now > baseTime ? now - baseTime : 0;
  if (!s.gridStarted) {
    s.gridStart = nowRunning;
    s.gridFrames = 0;
    s.gridStarted = true;
  }
  GstClockTime due = s.gridStart + gst_util_uint64_scale_int(s.gridFrames * GST_SECOND, GST_VIDEO_INFO_FPS_D(&s.info),
                                                             GST_VIDEO_INFO_FPS_N(&s.info));
  if (due + frameDuration < nowRunning) {
    // More than a frame behind (paused, or a slow consumer): start again now.
    s.gridStart = due = nowRunning;
    s.gridFrames = 0;
    s.discont = true;
  }
  if (due > nowRunning && !WaitUntil(s, clock.get(), baseTime + due)) return GST_FLOW_FLUSHING;

  const pattern::TestFrameStamp stamp{s.nextFrameNumber, MonotonicMicroseconds()};
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &s.info, buffer, GST_MAP_WRITE)) {
    GST_ELEMENT_ERROR(push, RESOURCE, WRITE, ("Could not write the test picture."), (nullptr));
    return GST_FLOW_ERROR;
  }
  pattern::WritableFrame target;
  target.format = GST_VIDEO_FRAME_FORMAT(&frame) == GST_VIDEO_FORMAT_BGRx ? pattern::PixelFormat::BGRx
                                                                          : pattern::PixelFormat::I420;
  target.width = GST_VIDEO_FRAME_WIDTH(&frame);
  target.height = GST_VIDEO_FRAME_HEIGHT(&frame);
  for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&frame) && plane < 3; ++plane) {
    target.planes[plane] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
    target.strides[plane] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
  }
  pattern::PaintTestFrame(stamp, target);
  gst_video_frame_unmap(&frame);

  GST_BUFFER_PTS(buffer) = due;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = frameDuration;
  GST_BUFFER_OFFSET(buffer) = stamp.frameNumber;
  GST_BUFFER_OFFSET_END(buffer) = stamp.frameNumber + 1;
  if (s.discont) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    s.discont = false;
  }
  ++s.nextFrameNumber;
  ++s.gridFrames;
  return GST_FLOW_OK;
}

void finalize(GObject* object) {
  reinterpret_cast<KestrelTestCameraSource*>(object)->state.~CameraState();
  G_OBJECT_CLASS(kestrel_test_camera_source_parent_class)->finalize(object);
}

}  // namespace

GstCaps* kestrel_test_camera_source_template_caps(void) { return gst_static_pad_template_get_caps(&srcTemplate); }

static void kestrel_test_camera_source_class_init(KestrelTestCameraSourceClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(
      element, "Kestrel Test Camera Source", "Source/Video",
      "A moving test picture made in real time, stamped with its capture time, frame number and checksum",
      "Kestrel developers");
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  base->fixate = fixate;
  base->set_caps = setCaps;
  base->start = start;
  base->unlock = unlock;
  base->unlock_stop = unlockStop;
  base->get_times = getTimes;
  base->query = query;
  GST_PUSH_SRC_CLASS(klass)->fill = fill;
}

static void kestrel_test_camera_source_init(KestrelTestCameraSource* self) {
  new (&self->state) CameraState();
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
