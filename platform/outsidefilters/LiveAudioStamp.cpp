#include "platform/outsidefilters/LiveAudioStamp.h"

#include <gst/audio/audio.h>

#include <mutex>

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/LiveAudioTimeline.h"
#include "platform/outsidefilters/OutsideFilters.h"

GST_DEBUG_CATEGORY_STATIC(kestrel_live_audio_stamp_debug);
#define GST_CAT_DEFAULT kestrel_live_audio_stamp_debug

using kestrel::outsidefilters::LiveAudioTimeline;
using kestrel::platform::GstMiniRef;
using kestrel::platform::GstRef;
using Nanoseconds = LiveAudioTimeline::Nanoseconds;

namespace {

// Threads: the timeline belongs to the streaming thread (caps, events and
// buffers arrive there, start() runs with the pads inactive); `latency` is
// set and read anywhere under timelineLock, which also covers the timeline.
struct StampState {
  std::mutex timelineLock;
  LiveAudioTimeline timeline{8000, std::chrono::milliseconds(kestrel::outsidefilters::kDefaultAudioLatencyMs)};
  int bytesPerFrame = 2;
  std::optional<bool> upstreamLive;  // asked with the first buffer of a stream
};

}  // namespace

struct _KestrelLiveAudioStamp {
  GstBaseTransform parent;
  StampState* state;  // owned
};

G_DEFINE_TYPE(KestrelLiveAudioStamp, kestrel_live_audio_stamp, GST_TYPE_BASE_TRANSFORM)

namespace {

enum { PROP_0, PROP_LATENCY };

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw"));
GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw"));

StampState& StateOf(gpointer self) { return *KESTREL_LIVE_AUDIO_STAMP(self)->state; }

Nanoseconds Latency(StampState& state) {
  std::lock_guard lock(state.timelineLock);
  return state.timeline.Latency();
}

// The running time now; nothing before the element plays (no clock, or the
// clock's time means nothing yet while prerolling).
std::optional<Nanoseconds> Now(GstElement* element) {
  GST_OBJECT_LOCK(element);
  const bool playing = GST_STATE(element) == GST_STATE_PLAYING;
  const GstClockTime base = GST_ELEMENT_CAST(element)->base_time;
  GstRef<GstClock> clock(GST_ELEMENT_CLOCK(element) != nullptr ? GST_CLOCK(gst_object_ref(GST_ELEMENT_CLOCK(element)))
                                                                 : nullptr);
  GST_OBJECT_UNLOCK(element);
  if (!playing || !clock) return std::nullopt;
  const GstClockTime now = gst_clock_get_time(clock.get());
  if (now < base) return Nanoseconds(0);
  return Nanoseconds(now - base);
}

gboolean Start(GstBaseTransform* base) {
  StampState& state = StateOf(base);
  std::lock_guard lock(state.timelineLock);
  state.timeline.Reset(8000);
  state.upstreamLive.reset();
  return TRUE;
}

// Whether what comes from upstream arrives at the pace it plays (a network
// source). Buffers that come faster (a file, a test) simply run on.
bool UpstreamIsLive(GstBaseTransform* base) {
  GstMiniRef<GstQuery> query(gst_query_new_latency());
  gboolean live = FALSE;
  if (gst_pad_peer_query(GST_BASE_TRANSFORM_SINK_PAD(base), query.get())) {
    gst_query_parse_latency(query.get(), &live, nullptr, nullptr);
  }
  return live;
}

gboolean SetCaps(GstBaseTransform* base, GstCaps* incaps, GstCaps*) {
  GstAudioInfo info;
  if (!gst_audio_info_from_caps(&info, incaps)) return FALSE;
  StampState& state = StateOf(base);
  std::lock_guard lock(state.timelineLock);
  state.bytesPerFrame = GST_AUDIO_INFO_BPF(&info) > 0 ? GST_AUDIO_INFO_BPF(&info) : 1;
  state.timeline.Reset(GST_AUDIO_INFO_RATE(&info));
  state.upstreamLive.reset();
  return TRUE;
}

gboolean SinkEvent(GstBaseTransform* base, GstEvent* event) {
  if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
    StampState& state = StateOf(base);
    std::lock_guard lock(state.timelineLock);
    state.timeline.Reset(8000);
    state.upstreamLive.reset();
  }
  return GST_BASE_TRANSFORM_CLASS(kestrel_live_audio_stamp_parent_class)->sink_event(base, event);
}

gboolean Query(GstBaseTransform* base, GstPadDirection direction, GstQuery* query) {
  if (direction != GST_PAD_SRC || GST_QUERY_TYPE(query) != GST_QUERY_LATENCY) {
    return GST_BASE_TRANSFORM_CLASS(kestrel_live_audio_stamp_parent_class)->query(base, direction, query);
  }
  gboolean live = FALSE;
  GstClockTime min = 0;
  GstClockTime max = GST_CLOCK_TIME_NONE;
  GstQuery* upstream = gst_query_new_latency();
  if (gst_pad_peer_query(GST_BASE_TRANSFORM_SINK_PAD(base), upstream)) {
    gst_query_parse_latency(upstream, &live, &min, &max);
  }
  gst_query_unref(upstream);
  // From a live upstream the buffers are stamped with the clock on arrival and
  // may come up to `latency` late; otherwise the stream just runs on.
  const GstClockTime added = live ? GstClockTime(Latency(StateOf(base)).count()) : 0;
  gst_query_set_latency(query, live, min + added, GST_CLOCK_TIME_IS_VALID(max) ? max + added : max);
  return TRUE;
}

GstFlowReturn TransformIp(GstBaseTransform* base, GstBuffer* buffer) {
  StampState& state = StateOf(base);
  if (!state.upstreamLive) state.upstreamLive = UpstreamIsLive(base);
  const auto arrival = *state.upstreamLive ? Now(GST_ELEMENT(base)) : std::nullopt;
  std::optional<LiveAudioTimeline::Placement> placement;
  {
    std::lock_guard lock(state.timelineLock);
    placement = state.timeline.Place(arrival, gst_buffer_get_size(buffer) / gsize(state.bytesPerFrame));
  }
  if (!placement) {
    GST_DEBUG_OBJECT(base, "dropping a buffer: the stream runs too far ahead of its arrivals");
    return GST_BASE_TRANSFORM_FLOW_DROPPED;
  }
  GST_LOG_OBJECT(base, "arrived at %" GST_TIME_FORMAT ", placed at %" GST_TIME_FORMAT "%s",
                 GST_TIME_ARGS(arrival ? guint64(arrival->count()) : GST_CLOCK_TIME_NONE),
                 GST_TIME_ARGS(guint64(placement->time.count())), placement->discontinuity ? " (discontinuity)" : "");
  const guint64 runningTime = guint64(placement->time.count());
  guint64 position = gst_segment_position_from_running_time(&base->segment, GST_FORMAT_TIME, runningTime);
  if (!GST_CLOCK_TIME_IS_VALID(position)) position = runningTime;
  GST_BUFFER_PTS(buffer) = position;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = guint64(placement->duration.count());
  if (placement->discontinuity) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
  } else {
    GST_BUFFER_FLAG_UNSET(buffer, GST_BUFFER_FLAG_DISCONT);
  }
  return GST_FLOW_OK;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id != PROP_LATENCY) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  StampState& state = StateOf(object);
  {
    std::lock_guard lock(state.timelineLock);
    state.timeline.SetLatency(std::chrono::milliseconds(g_value_get_uint(value)));
  }
  gst_element_post_message(GST_ELEMENT(object), gst_message_new_latency(GST_OBJECT(object)));
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id != PROP_LATENCY) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  g_value_set_uint(value, guint(std::chrono::duration_cast<std::chrono::milliseconds>(Latency(StateOf(object))).count()));
}

void Finalize(GObject* object) {
  delete KESTREL_LIVE_AUDIO_STAMP(object)->state;
  G_OBJECT_CLASS(kestrel_live_audio_stamp_parent_class)->finalize(object);
}

}  // namespace

void kestrel::outsidefilters::InstallLatencyProperty(GObjectClass* klass, guint id) {
  g_object_class_install_property(
      klass, id,
      g_param_spec_uint(kLatencyProperty, "Latency",
                        "How late in milliseconds a buffer may arrive and still play in its place", kMinAudioLatencyMs,
                        kMaxAudioLatencyMs, kDefaultAudioLatencyMs,
                        GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING)));
}

static void kestrel_live_audio_stamp_class_init(KestrelLiveAudioStampClass* klass) {
  GST_DEBUG_CATEGORY_INIT(kestrel_live_audio_stamp_debug, "kestrelliveaudiostamp", 0,
                          "Timeline for live audio without timestamps");
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  kestrel::outsidefilters::InstallLatencyProperty(object, PROP_LATENCY);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "Live audio timeline", "Filter/Audio",
                                        "Stamps live audio that came without timestamps with a continuous timeline",
                                        "Kestrel developers");

  GstBaseTransformClass* transform = GST_BASE_TRANSFORM_CLASS(klass);
  transform->start = Start;
  transform->set_caps = SetCaps;
  transform->sink_event = SinkEvent;
  transform->query = Query;
  transform->transform_ip = TransformIp;
}

static void kestrel_live_audio_stamp_init(KestrelLiveAudioStamp* self) {
  self->state = new StampState();
  gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}
