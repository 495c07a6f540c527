#include "tests/media/hostile/CallProbes.h"

#include "platform/outsidefilters/testpattern/TestPatternReader.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace kestrel::media::hostile {

namespace {

using testpattern::PixelFormat;
using testpattern::ReadTestFrame;
using testpattern::TestFrameReading;

constexpr std::int64_t kStampTimeMask = (std::int64_t{1} << 48) - 1;

std::int64_t MonotonicStampUs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000) & kStampTimeMask;
}

// Reads the camera's stamp from a raw video buffer described by `caps`;
// nothing for a format whose luma or packed plane the reader does not know.
std::optional<TestFrameReading> ReadStamp(GstCaps *caps, GstBuffer *buffer)
{
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps))
        return std::nullopt;
    PixelFormat format;
    switch (GST_VIDEO_INFO_FORMAT(&info)) {
    case GST_VIDEO_FORMAT_I420:
    case GST_VIDEO_FORMAT_YV12:
    case GST_VIDEO_FORMAT_NV12:
    case GST_VIDEO_FORMAT_NV21:
    case GST_VIDEO_FORMAT_Y42B:
    case GST_VIDEO_FORMAT_Y444: format = PixelFormat::I420; break; // only the luma plane is read
    case GST_VIDEO_FORMAT_BGRx:
    case GST_VIDEO_FORMAT_BGRA: format = PixelFormat::BGRx; break;
    default: return std::nullopt;
    }
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return std::nullopt;
    auto reading = ReadTestFrame(static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                                 GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                                 GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), format);
    gst_video_frame_unmap(&frame);
    return reading;
}

std::string LongNameOf(GstElement *element)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    const char *name = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME) : nullptr;
    return name ? name : "";
}

bool Contains(GstBuffer *buffer, const std::vector<std::uint8_t> &needle)
{
    GstMapInfo map;
    if (needle.empty() || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return false;
    const bool found = std::search(map.data, map.data + map.size, needle.begin(), needle.end()) != map.data + map.size;
    gst_buffer_unmap(buffer, &map);
    return found;
}

} // namespace

// ---- CFrameCheckHost ----

CFrameCheckHost::~CFrameCheckHost()
{
    Detach();
}

void CFrameCheckHost::Detach()
{
    if (renderer && handler)
        g_signal_handler_disconnect(renderer.get(), handler);
    handler = 0;
    renderer.reset();
}

void CFrameCheckHost::AttachRenderer(GstElement *element)
{
    if (element == renderer.get())
        return;
    Detach();
    if (!element)
        return;
    renderer = platform::RefObject(element);
    handler = g_signal_connect(element, kFrameShownSignal, G_CALLBACK(OnFrameShown), this);
}

void CFrameCheckHost::OnFrameShown(GstElement *, GstSample *sample, gpointer data)
{
    auto *self = static_cast<CFrameCheckHost *>(data);
    ShownFrame shown;
    shown.at = Clock::now();
    if (auto reading = ReadStamp(gst_sample_get_caps(sample), gst_sample_get_buffer(sample))) {
        shown.number = reading->frameNumber;
        shown.intact = reading->checksumOk;
        shown.latencyUs = (MonotonicStampUs() - reading->captureTimeUs) & kStampTimeMask;
    }
    {
        std::lock_guard lock(self->framesLock);
        self->frames.push_back(shown);
    }
    self->frameShown.notify_all();
}

std::vector<ShownFrame> CFrameCheckHost::Frames() const
{
    std::lock_guard lock(framesLock);
    return frames;
}

std::size_t CFrameCheckHost::CorruptCount() const
{
    std::lock_guard lock(framesLock);
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [](const ShownFrame &f) { return !f.intact; }));
}

std::optional<std::uint32_t> CFrameCheckHost::NewestIntactNumber() const
{
    std::lock_guard lock(framesLock);
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        if (frame->intact)
            return frame->number;
    return std::nullopt;
}

std::optional<Clock::time_point> CFrameCheckHost::WaitForNewIntactFrame(Clock::time_point since,
                                                                        std::optional<std::uint32_t> afterNumber,
                                                                        Clock::duration timeout) const
{
    std::optional<Clock::time_point> found;
    std::unique_lock lock(framesLock);
    frameShown.wait_for(lock, timeout, [&] {
        for (auto frame = frames.rbegin(); frame != frames.rend() && frame->at >= since; ++frame)
            if (frame->intact && (!afterNumber || *frame->number > *afterNumber))
                found = frame->at; // the earliest such frame is found last
        return found.has_value();
    });
    return found;
}

void CFrameCheckHost::Clear()
{
    std::lock_guard lock(framesLock);
    frames.clear();
}

// ---- CSendRecorder ----

CSendRecorder::~CSendRecorder()
{
    if (graph && handler)
        g_signal_handler_disconnect(graph.get(), handler);
}

void CSendRecorder::Watch(CMediaGraph &captureGraph, std::string camera)
{
    cameraName = std::move(camera);
    graph = platform::RefObject(captureGraph.Bin());
    handler = g_signal_connect(graph.get(), "element-added", G_CALLBACK(OnElementAdded), this);
}

void CSendRecorder::OnElementAdded(GstBin *, GstElement *element, gpointer data)
{
    auto *self = static_cast<CSendRecorder *>(data);
    const char *padName = nullptr;
    GstPadProbeCallback probe = nullptr;
    if (self->cameraName == GST_OBJECT_NAME(element)) {
        padName = "Capture";
        probe = OnCaptured;
    } else if (LongNameOf(element) == "ORVA RTP Render Filter") {
        padName = "Video Transport";
        probe = OnSent;
    } else {
        return;
    }
    GstRef<GstPad> pad(gst_element_get_static_pad(element, padName));
    if (pad)
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, probe, self, nullptr);
}

GstPadProbeReturn CSendRecorder::OnCaptured(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<CSendRecorder *>(data);
    GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    const auto reading = ReadStamp(caps.get(), GST_PAD_PROBE_INFO_BUFFER(info));
    self->lastCaptured = reading ? static_cast<std::int64_t>(reading->frameNumber) : -1;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CSendRecorder::OnSent(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<CSendRecorder *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    SentFrame sent;
    sent.at = Clock::now();
    sent.bytes = gst_buffer_get_size(buffer);
    sent.keyFrame = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    const std::int64_t captured = self->lastCaptured.exchange(-1);
    if (captured >= 0)
        sent.number = static_cast<std::uint32_t>(captured);
    {
        std::lock_guard lock(self->framesLock);
        self->frames.push_back(sent);
    }
    self->frameSent.notify_all();
    return GST_PAD_PROBE_OK;
}

std::vector<SentFrame> CSendRecorder::Frames() const
{
    std::lock_guard lock(framesLock);
    return frames;
}

std::size_t CSendRecorder::Count() const
{
    std::lock_guard lock(framesLock);
    return frames.size();
}

bool CSendRecorder::WaitForCount(std::size_t count, Clock::duration timeout) const
{
    std::unique_lock lock(framesLock);
    return frameSent.wait_for(lock, timeout, [&] { return frames.size() >= count; });
}

void CSendRecorder::Clear()
{
    std::lock_guard lock(framesLock);
    frames.clear();
}

// ---- CDecoderWatch ----

CDecoderWatch::~CDecoderWatch()
{
    if (graph && handler)
        g_signal_handler_disconnect(graph.get(), handler);
}

void CDecoderWatch::Watch(CMediaGraph &renderGraph)
{
    graph = platform::RefObject(renderGraph.Bin());
    handler = g_signal_connect(graph.get(), "element-added", G_CALLBACK(OnElementAdded), this);
}

void CDecoderWatch::OnElementAdded(GstBin *, GstElement *element, gpointer data)
{
    const std::string name = LongNameOf(element);
    GstPadProbeCallback probe = name == "H263 Decode Filter" ? OnVideoInput
                                : name == "ACM Wrapper"      ? OnAudioInput
                                                             : nullptr;
    GstRef<GstPad> sink(probe ? gst_element_get_static_pad(element, "sink") : nullptr);
    if (sink)
        gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_BUFFER, probe, data, nullptr);
}

GstPadProbeReturn CDecoderWatch::OnVideoInput(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    static_cast<CDecoderWatch *>(data)->Note(Kind::Video, GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CDecoderWatch::OnAudioInput(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    static_cast<CDecoderWatch *>(data)->Note(Kind::Audio, GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
}

void CDecoderWatch::Note(Kind kind, GstBuffer *buffer)
{
    const bool stranger = Contains(buffer, signature);
    {
        std::lock_guard lock(countsLock);
        ++(kind == Kind::Video ? counts.video : counts.audio);
        counts.stranger += stranger;
    }
    counted.notify_all();
}

CDecoderWatch::Counts CDecoderWatch::Read() const
{
    std::lock_guard lock(countsLock);
    return counts;
}

bool CDecoderWatch::WaitForMore(Kind kind, std::uint64_t beyond, Clock::duration timeout) const
{
    std::unique_lock lock(countsLock);
    return counted.wait_for(lock, timeout,
                            [&] { return (kind == Kind::Video ? counts.video : counts.audio) > beyond; });
}

double EnvNumber(const char *name, double fallback)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    return end && *end == '\0' ? value : fallback;
}

} // namespace kestrel::media::hostile
