#include "platform/outsidefilters/TestMicrophoneSource.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <optional>

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"

using kestrel::platform::GstRef;
using kestrel::testpattern::TestMicrophoneSignal;

namespace {

constexpr guint kDefaultBurstIntervalMs = 500;
constexpr guint kMinimumBurstIntervalMs = 100;
constexpr guint kMaximumBurstIntervalMs = 60000;

// What the element keeps between buffers. Threads: create() runs on the
// streaming thread, start() and set_caps() while it is stopped or on it; the
// property and the latency query come from any thread.
struct MicrophoneState {
  std::atomic<guint> burstIntervalMs{kDefaultBurstIntervalMs};
  std::atomic<int> rate{0};           // of the negotiated caps, 0 before
  std::atomic<int> bytesPerFrame{0};  // likewise

  // Streaming thread only.
  std::optional<TestMicrophoneSignal> signal;
  bool started = false;
  GstClockTime startRunning = 0;  // running time of the first sample since the last (re)start
  uint64_t samplesSinceStart = 0;
  uint64_t sampleOffset = 0;  // of the next sample, over the whole stream
  bool discont = false;
};

}  // namespace

struct _KestrelTestMicrophoneSource {
  GstBaseSrc parent;
  MicrophoneState state;  // constructed in init, destroyed in finalize
};

G_DEFINE_TYPE(KestrelTestMicrophoneSource, kestrel_test_microphone_source, GST_TYPE_BASE_SRC)

namespace {

enum { PROP_0, PROP_BURST_INTERVAL_MS };

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, layout=(string)interleaved, rate=(int)[ 8000, 48000 ], "
                    "channels=(int)[ 1, 2 ]"));

MicrophoneState& state(GstBaseSrc* base) { return reinterpret_cast<KestrelTestMicrophoneSource*>(base)->state; }

GstClockTime DurationOfSamples(uint64_t samples, int rate) { return gst_util_uint64_scale_int(samples, GST_SECOND, rate); }

GstCaps* fixate(GstBaseSrc* base, GstCaps* caps) {
  caps = gst_caps_truncate(gst_caps_make_writable(caps));
  GstStructure* s = gst_caps_get_structure(caps, 0);
  gst_structure_fixate_field_nearest_int(s, "rate", 48000);
  gst_structure_fixate_field_nearest_int(s, "channels", 1);
  return GST_BASE_SRC_CLASS(kestrel_test_microphone_source_parent_class)->fixate(base, caps);
}

gboolean setCaps(GstBaseSrc* base, GstCaps* caps) {
  GstAudioInfo info;
  if (!gst_audio_info_from_caps(&info, caps) || GST_AUDIO_INFO_RATE(&info) <= 0) return FALSE;
  MicrophoneState& s = state(base);
  s.signal.emplace(GST_AUDIO_INFO_RATE(&info), GST_AUDIO_INFO_CHANNELS(&info),
                   static_cast<int64_t>(s.burstIntervalMs.load()) * GST_MSECOND);
  s.rate = GST_AUDIO_INFO_RATE(&info);
  s.bytesPerFrame = GST_AUDIO_INFO_BPF(&info);
  s.started = false;  // new caps start a new run of sample times
  return TRUE;
}

gboolean start(GstBaseSrc* base) {
  MicrophoneState& s = state(base);
  s.started = false;
  s.sampleOffset = 0;
  s.discont = false;
  return TRUE;
}

// Like a microphone, a buffer is ready when its last sample has been captured.
void getTimes(GstBaseSrc*, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
  *start = GST_CLOCK_TIME_NONE;
  *end = GST_CLOCK_TIME_NONE;
  if (GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_DURATION_IS_VALID(buffer)) {
    *start = GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer);
  }
}

gboolean query(GstBaseSrc* base, GstQuery* query) {
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    const MicrophoneState& s = state(base);
    const int rate = s.rate, bytesPerFrame = s.bytesPerFrame;
    if (rate <= 0 || bytesPerFrame <= 0) return FALSE;
    const guint frames = std::max<guint>(1, gst_base_src_get_blocksize(base) / static_cast<guint>(bytesPerFrame));
    const GstClockTime buffer = DurationOfSamples(frames, rate);
    gst_query_set_latency(query, TRUE, buffer, buffer);
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(kestrel_test_microphone_source_parent_class)->query(base, query);
}

GstFlowReturn create(GstBaseSrc* base, guint64 offset, guint size, GstBuffer** out) {
  MicrophoneState& s = state(base);
  const int rate = s.rate, bytesPerFrame = s.bytesPerFrame;
  if (!s.signal || rate <= 0 || bytesPerFrame <= 0) return GST_FLOW_NOT_NEGOTIATED;

  // Whole frames only, at least one, however small the block size. A buffer
  // from a pool (or from downstream) may be larger than asked: it is cut to size.
  GstBuffer* buffer = *out;
  guint frames = std::max<guint>(1, size / static_cast<guint>(bytesPerFrame));
  if (buffer == nullptr) {
    const GstFlowReturn allocated = GST_BASE_SRC_CLASS(kestrel_test_microphone_source_parent_class)
                                        ->alloc(base, offset, frames * static_cast<guint>(bytesPerFrame), &buffer);
    if (allocated != GST_FLOW_OK) return allocated;
  }
  frames = std::min<guint>(frames, static_cast<guint>(gst_buffer_get_size(buffer) / static_cast<gsize>(bytesPerFrame)));
  if (frames == 0) {
    if (*out == nullptr) gst_buffer_unref(buffer);
    GST_ELEMENT_ERROR(base, RESOURCE, WRITE, ("The buffer for the test sound is smaller than one frame."), (nullptr));
    return GST_FLOW_ERROR;
  }
  gst_buffer_set_size(buffer, static_cast<gssize>(frames) * bytesPerFrame);

  GstElement* element = GST_ELEMENT(base);
  GstRef<GstClock> clock(gst_element_get_clock(element));
  const GstClockTime baseTime = clock ? gst_element_get_base_time(element) : 0;
  GstClockTime nowRunning = 0;
  if (clock) {
    const GstClockTime now = gst_clock_get_time(clock.get());
    nowRunning = now > baseTime ? now - baseTime : 0;
  }
  if (!s.started) {
    s.startRunning = nowRunning;
    s.samplesSinceStart = 0;
    s.started = true;
  }
  GstClockTime pts = s.startRunning + DurationOfSamples(s.samplesSinceStart, rate);
  const GstClockTime duration = DurationOfSamples(frames, rate);
  if (clock && pts + 2 * duration < nowRunning) {
    // Over a buffer behind (paused, or a slow consumer): as a sound card's
    // buffer would overflow, the samples in between are lost.
    s.startRunning = pts = nowRunning - duration;
    s.samplesSinceStart = 0;
    s.discont = true;
  }

  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
    if (*out == nullptr) gst_buffer_unref(buffer);
    GST_ELEMENT_ERROR(base, RESOURCE, WRITE, ("Could not write the test sound."), (nullptr));
    return GST_FLOW_ERROR;
  }
  s.signal->Generate(reinterpret_cast<int16_t*>(map.data), frames, static_cast<int64_t>(baseTime + pts));
  gst_buffer_unmap(buffer, &map);

  GST_BUFFER_PTS(buffer) = pts;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = DurationOfSamples(s.samplesSinceStart + frames, rate) -
                                DurationOfSamples(s.samplesSinceStart, rate);
  GST_BUFFER_OFFSET(buffer) = s.sampleOffset;
  GST_BUFFER_OFFSET_END(buffer) = s.sampleOffset + frames;
  if (s.discont) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    s.discont = false;
  }
  s.samplesSinceStart += frames;
  s.sampleOffset += frames;
  *out = buffer;
  return GST_FLOW_OK;
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id == PROP_BURST_INTERVAL_MS) {
    reinterpret_cast<KestrelTestMicrophoneSource*>(object)->state.burstIntervalMs = g_value_get_uint(value);
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id == PROP_BURST_INTERVAL_MS) {
    g_value_set_uint(value, reinterpret_cast<KestrelTestMicrophoneSource*>(object)->state.burstIntervalMs);
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void finalize(GObject* object) {
  reinterpret_cast<KestrelTestMicrophoneSource*>(object)->state.~MicrophoneState();
  G_OBJECT_CLASS(kestrel_test_microphone_source_parent_class)->finalize(object);
}

}  // namespace

GstCaps* kestrel_test_microphone_source_template_caps(void) { return gst_static_pad_template_get_caps(&srcTemplate); }

static void kestrel_test_microphone_source_class_init(KestrelTestMicrophoneSourceClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = setProperty;
  object->get_property = getProperty;
  object->finalize = finalize;
  g_object_class_install_property(
      object, PROP_BURST_INTERVAL_MS,
      g_param_spec_uint("burst-interval-ms", "Burst interval (ms)",
                        "Time between burst onsets, which fall on whole multiples of it on the pipeline clock",
                        kMinimumBurstIntervalMs, kMaximumBurstIntervalMs, kDefaultBurstIntervalMs,
                        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "Kestrel Test Microphone Source", "Source/Audio",
                                        "A quiet tone with a short loud burst at every whole multiple of the "
                                        "burst interval, in real time",
                                        "Kestrel developers");
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  base->fixate = fixate;
  base->set_caps = setCaps;
  base->start = start;
  base->get_times = getTimes;
  base->query = query;
  base->create = create;
}

static void kestrel_test_microphone_source_init(KestrelTestMicrophoneSource* self) {
  new (&self->state) MicrophoneState();
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
