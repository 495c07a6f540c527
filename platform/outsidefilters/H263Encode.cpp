#include "platform/outsidefilters/H263Encode.h"

#include <chrono>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/outsidefilters/H263EncoderSession.h"
#include "platform/outsidefilters/KeyFrameSchedule.h"
#include "platform/outsidefilters/OutsideFilters.h"

GST_DEBUG_CATEGORY_STATIC(kestrel_h263_encode_debug);
#define GST_CAT_DEFAULT kestrel_h263_encode_debug

using kestrel::outsidefilters::H263EncoderSession;
using kestrel::outsidefilters::KeyFrameSchedule;

namespace {

struct Settings {
  guint bitrateBps = kestrel::outsidefilters::kDefaultBitrateBps;
  guint keyFrameIntervalMs = kestrel::outsidefilters::kDefaultKeyFrameIntervalMs;
  uint64_t bitrateGeneration = 0;  // counts bit rate changes
};

// Threads: properties are set and read on any thread under settingsLock; the
// rest belongs to the streaming thread (set_format, flush, handle_frame) and
// to start and stop, which run while the pads are inactive.
struct EncoderState {
  EncoderState() { gst_video_info_init(&inputInfo); }

  std::mutex settingsLock;
  Settings settings;  // guarded by settingsLock

  H263EncoderSession session;
  uint64_t sessionGeneration = 0;  // the bit rate generation the session was opened with
  H263EncoderSession::Format format;
  GstVideoInfo inputInfo;
  KeyFrameSchedule schedule{std::chrono::milliseconds(kestrel::outsidefilters::kDefaultKeyFrameIntervalMs)};
};

}  // namespace

struct _KestrelH263Encode {
  GstVideoEncoder parent;
  EncoderState* state;  // owned
};

G_DEFINE_TYPE(KestrelH263Encode, kestrel_h263_encode, GST_TYPE_VIDEO_ENCODER)

namespace {

enum { PROP_0, PROP_BITRATE, PROP_KEYFRAME_INTERVAL };

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)I420, width=(int)176, height=(int)144"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-h263, variant=(string)itu, h263version=(string)h263, width=(int)176, height=(int)144"));

EncoderState& StateOf(GstVideoEncoder* base) { return *KESTREL_H263_ENCODE(base)->state; }

// libavcodec prints to standard error unless told otherwise; its messages
// belong in GStreamer's debug log, as gst-libav sends them.
void LogToGstreamer(void*, int level, const char* format, va_list arguments) {
  if (level > av_log_get_level()) return;
  const GstDebugLevel gstLevel = level <= AV_LOG_ERROR     ? GST_LEVEL_ERROR
                                 : level <= AV_LOG_WARNING ? GST_LEVEL_WARNING
                                 : level <= AV_LOG_INFO    ? GST_LEVEL_INFO
                                                           : GST_LEVEL_DEBUG;
  if (gstLevel > gst_debug_category_get_threshold(GST_CAT_DEFAULT)) return;
  gst_debug_log_valist(GST_CAT_DEFAULT, gstLevel, "libavcodec", "", 0, nullptr, format, arguments);
}

// Drops the picture (no output) and stops the stream with `result`.
GstFlowReturn Fail(GstVideoEncoder* base, GstVideoCodecFrame* frame, GstFlowReturn result) {
  gst_video_encoder_finish_frame(base, frame);
  return result;
}

// The picture's running time; the time of arrival when it carries none.
std::chrono::nanoseconds PictureTime(GstVideoEncoder* base, GstVideoCodecFrame* frame) {
  const guint64 runningTime = gst_segment_to_running_time(&base->input_segment, GST_FORMAT_TIME, frame->pts);
  if (GST_CLOCK_TIME_IS_VALID(runningTime)) return std::chrono::nanoseconds(runningTime);
  return std::chrono::microseconds(g_get_monotonic_time());
}

gboolean Start(GstVideoEncoder* base) {
  EncoderState& state = StateOf(base);
  state.session.Close();
  state.schedule.Restart();
  return TRUE;
}

gboolean Stop(GstVideoEncoder* base) {
  StateOf(base).session.Close();
  return TRUE;
}

gboolean Flush(GstVideoEncoder* base) {
  // Whatever the receiver had is gone after a flush: start over with key frames.
  StateOf(base).schedule.Restart();
  return TRUE;
}

gboolean SetFormat(GstVideoEncoder* base, GstVideoCodecState* input) {
  EncoderState& state = StateOf(base);
  state.inputInfo = input->info;
  state.format.width = GST_VIDEO_INFO_WIDTH(&input->info);
  state.format.height = GST_VIDEO_INFO_HEIGHT(&input->info);
  state.format.fpsNumerator = GST_VIDEO_INFO_FPS_N(&input->info);
  state.format.fpsDenominator = GST_VIDEO_INFO_FPS_D(&input->info);
  state.session.Close();  // reopened for the new format at the next picture

  GstCaps* caps = gst_static_pad_template_get_caps(&srcTemplate);
  GstVideoCodecState* output = gst_video_encoder_set_output_state(base, caps, input);
  gst_video_codec_state_unref(output);
  return gst_video_encoder_negotiate(base);
}

GstFlowReturn HandleFrame(GstVideoEncoder* base, GstVideoCodecFrame* frame) {
  EncoderState& state = StateOf(base);
  Settings settings;
  {
    std::lock_guard lock(state.settingsLock);
    settings = state.settings;
  }
  const auto time = PictureTime(base, frame);
  state.schedule.SetInterval(std::chrono::milliseconds(settings.keyFrameIntervalMs));
  bool keyFrame = state.schedule.IsKeyFrameDue(time) || GST_VIDEO_CODEC_FRAME_IS_FORCE_KEYFRAME(frame);

  if (!state.session.IsOpen() || state.sessionGeneration != settings.bitrateGeneration) {
    if (!state.session.Open(state.format, settings.bitrateBps)) {
      GST_ELEMENT_ERROR(base, LIBRARY, INIT, ("Could not start the H.263 encoder."),
                        ("%s", state.session.Error().c_str()));
      return Fail(base, frame, GST_FLOW_NOT_NEGOTIATED);
    }
    GST_INFO_OBJECT(base, "encoding at %u bit/s", state.session.EffectiveBitrate());
    state.sessionGeneration = settings.bitrateGeneration;
    // A fresh encoder starts with a key frame in any case.
    keyFrame = true;
    state.schedule.NoteKeyFrame(time);
  }

  GstVideoFrame mapped;
  if (!gst_video_frame_map(&mapped, &state.inputInfo, frame->input_buffer, GST_MAP_READ)) {
    GST_ELEMENT_ERROR(base, STREAM, ENCODE, ("Could not read the picture to encode."), (nullptr));
    return Fail(base, frame, GST_FLOW_ERROR);
  }
  H263EncoderSession::Picture picture;
  for (int plane = 0; plane < 3; ++plane) {
    picture.planes[plane] = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, plane));
    picture.strides[plane] = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, plane);
  }
  auto encoded = state.session.Encode(picture, keyFrame);
  gst_video_frame_unmap(&mapped);
  if (!encoded) {
    GST_ELEMENT_ERROR(base, STREAM, ENCODE, ("Could not encode a picture."), ("%s", state.session.Error().c_str()));
    return Fail(base, frame, GST_FLOW_ERROR);
  }
  if (encoded->bytes.size() >= static_cast<size_t>(H263EncoderSession::kReceiverPictureLimit)) {
    GST_WARNING_OBJECT(base, "a picture of %zu bytes is too large for the receiver", encoded->bytes.size());
  }
  if (encoded->keyFrame) {
    GST_VIDEO_CODEC_FRAME_SET_SYNC_POINT(frame);
  } else {
    GST_VIDEO_CODEC_FRAME_UNSET_SYNC_POINT(frame);
  }
  frame->output_buffer = gst_buffer_new_memdup(encoded->bytes.data(), encoded->bytes.size());
  return gst_video_encoder_finish_frame(base, frame);
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  EncoderState& state = *KESTREL_H263_ENCODE(object)->state;
  std::lock_guard lock(state.settingsLock);
  switch (id) {
    case PROP_BITRATE:
      if (state.settings.bitrateBps != g_value_get_uint(value)) {
        state.settings.bitrateBps = g_value_get_uint(value);
        ++state.settings.bitrateGeneration;
      }
      break;
    case PROP_KEYFRAME_INTERVAL:
      state.settings.keyFrameIntervalMs = g_value_get_uint(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  EncoderState& state = *KESTREL_H263_ENCODE(object)->state;
  std::lock_guard lock(state.settingsLock);
  switch (id) {
    case PROP_BITRATE:
      g_value_set_uint(value, state.settings.bitrateBps);
      break;
    case PROP_KEYFRAME_INTERVAL:
      g_value_set_uint(value, state.settings.keyFrameIntervalMs);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void Finalize(GObject* object) {
  delete KESTREL_H263_ENCODE(object)->state;
  G_OBJECT_CLASS(kestrel_h263_encode_parent_class)->finalize(object);
}

}  // namespace

void kestrel::outsidefilters::InstallH263EncodeProperties(GObjectClass* klass, guint bitrateId,
                                                          guint keyFrameIntervalId) {
  const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
  g_object_class_install_property(
      klass, bitrateId,
      g_param_spec_uint(kBitrateProperty, "Bit rate",
                        "Target bit rate in bit/s; a change takes effect at the next picture, a key frame",
                        kMinBitrateBps, kMaxBitrateBps, kDefaultBitrateBps, flags));
  g_object_class_install_property(
      klass, keyFrameIntervalId,
      g_param_spec_uint(kKeyFrameIntervalProperty, "Key-frame interval",
                        "Longest time between key frames in milliseconds (more during the first second)",
                        kMinKeyFrameIntervalMs, kMaxKeyFrameIntervalMs, kDefaultKeyFrameIntervalMs, flags));
}

static void kestrel_h263_encode_class_init(KestrelH263EncodeClass* klass) {
  GST_DEBUG_CATEGORY_INIT(kestrel_h263_encode_debug, "kestrelh263encode", 0, "Kestrel H.263 encoder");
  av_log_set_callback(LogToGstreamer);

  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  kestrel::outsidefilters::InstallH263EncodeProperties(object, PROP_BITRATE, PROP_KEYFRAME_INTERVAL);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "H.263 Encoder", "Codec/Encoder/Video",
                                        "Encodes QCIF pictures as baseline H.263 for a call, one picture in, one out",
                                        "Kestrel developers");

  GstVideoEncoderClass* encoder = GST_VIDEO_ENCODER_CLASS(klass);
  encoder->start = Start;
  encoder->stop = Stop;
  encoder->flush = Flush;
  encoder->set_format = SetFormat;
  encoder->handle_frame = HandleFrame;
}

static void kestrel_h263_encode_init(KestrelH263Encode* self) { self->state = new EncoderState(); }
