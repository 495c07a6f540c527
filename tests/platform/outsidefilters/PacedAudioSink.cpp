#include "PacedAudioSink.h"

namespace kestrel::outsidefilters::test {

bool Recording::WaitFor(size_t count, std::chrono::seconds deadline) {
  std::unique_lock hold(lock);
  return grew.wait_for(hold, deadline, [&] { return samples.size() >= count; });
}

}  // namespace kestrel::outsidefilters::test

using kestrel::outsidefilters::test::Recording;

typedef struct {
  GstAudioSink parent;
  Recording* recording;
  // The device's clock, start and samples taken: ring buffer thread only.
  GstClock* clock;
  GstClockTime start;
  guint64 played;
  int rate;
  int bytesPerFrame;
  // The wait in progress, which reset() unschedules.
  std::mutex* waitLock;
  GstClockID wait;  // guarded by waitLock
} PacedAudioSink;

typedef struct {
  GstAudioSinkClass parent_class;
} PacedAudioSinkClass;

G_DEFINE_TYPE(PacedAudioSink, paced_audio_sink, GST_TYPE_AUDIO_SINK)

namespace {

PacedAudioSink* Self(GstAudioSink* sink) { return reinterpret_cast<PacedAudioSink*>(sink); }

gboolean Open(GstAudioSink*) { return TRUE; }
gboolean Close(GstAudioSink*) { return TRUE; }
gboolean Unprepare(GstAudioSink*) { return TRUE; }
guint Delay(GstAudioSink*) { return 0; }

gboolean Prepare(GstAudioSink* sink, GstAudioRingBufferSpec* ringSpec) {
  PacedAudioSink* self = Self(sink);
  self->rate = GST_AUDIO_INFO_RATE(&ringSpec->info);
  self->bytesPerFrame = GST_AUDIO_INFO_BPF(&ringSpec->info);
  self->start = GST_CLOCK_TIME_NONE;
  self->played = 0;
  return TRUE;
}

gint Write(GstAudioSink* sink, gpointer data, guint length) {
  PacedAudioSink* self = Self(sink);
  if (self->recording != nullptr) {
    const auto* samples = static_cast<const int16_t*>(data);
    std::lock_guard hold(self->recording->lock);
    self->recording->samples.insert(self->recording->samples.end(), samples, samples + length / 2);
    self->recording->grew.notify_all();
  }
  if (!GST_CLOCK_TIME_IS_VALID(self->start)) self->start = gst_clock_get_time(self->clock);
  self->played += length / guint(self->bytesPerFrame);
  const GstClockTime due = self->start + gst_util_uint64_scale(self->played, GST_SECOND, guint64(self->rate));
  GstClockID id = gst_clock_new_single_shot_id(self->clock, due);
  {
    std::lock_guard hold(*self->waitLock);
    self->wait = id;
  }
  gst_clock_id_wait(id, nullptr);
  {
    std::lock_guard hold(*self->waitLock);
    self->wait = nullptr;
  }
  gst_clock_id_unref(id);
  return gint(length);
}

void Reset(GstAudioSink* sink) {
  PacedAudioSink* self = Self(sink);
  std::lock_guard hold(*self->waitLock);
  if (self->wait != nullptr) gst_clock_id_unschedule(self->wait);
}

void Finalize(GObject* object) {
  auto* self = reinterpret_cast<PacedAudioSink*>(object);
  gst_object_unref(self->clock);
  delete self->waitLock;
  G_OBJECT_CLASS(paced_audio_sink_parent_class)->finalize(object);
}

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, layout=(string)interleaved, rate=(int)[1, MAX], "
                    "channels=(int)1"));

}  // namespace

static void paced_audio_sink_class_init(PacedAudioSinkClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = Finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_set_static_metadata(element, "Paced audio sink", "Sink/Audio",
                                        "Plays at the pace of the system clock and records", "Kestrel tests");
  GstAudioSinkClass* sink = GST_AUDIO_SINK_CLASS(klass);
  sink->open = Open;
  sink->prepare = Prepare;
  sink->unprepare = Unprepare;
  sink->close = Close;
  sink->write = Write;
  sink->delay = Delay;
  sink->reset = Reset;
}

static void paced_audio_sink_init(PacedAudioSink* self) {
  self->recording = nullptr;
  self->clock = gst_system_clock_obtain();
  self->start = GST_CLOCK_TIME_NONE;
  self->played = 0;
  self->rate = 8000;
  self->bytesPerFrame = 2;
  self->waitLock = new std::mutex();
  self->wait = nullptr;
}

namespace kestrel::outsidefilters::test {

GType PacedAudioSinkGetType() { return paced_audio_sink_get_type(); }

void RegisterPacedAudioSink() {
  static const bool done =
      gst_element_register(nullptr, "kestreltestpacedsink", GST_RANK_NONE, paced_audio_sink_get_type());
  (void)done;
}

void SetRecording(GstElement* sink, Recording* recording) {
  reinterpret_cast<PacedAudioSink*>(sink)->recording = recording;
}

}  // namespace kestrel::outsidefilters::test
