#include "bench/call/Measurements.h"

#include "platform/outsidefilters/testpattern/TestMicrophoneSignal.h"
#include "platform/outsidefilters/testpattern/TestPatternReader.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <map>
#include <span>

namespace kestrel::bench {

using platform::GstMiniRef;
using platform::GstRef;

int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int64_t ProcessCpuNs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ns = [](const timeval &t) { return int64_t(t.tv_sec) * 1'000'000'000 + int64_t(t.tv_usec) * 1000; };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

std::map<std::string, int64_t> ThreadCpuNs()
{
    std::map<std::string, int64_t> byName;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    DIR *tasks = opendir("/proc/self/task");
    if (!tasks)
        return byName;
    while (const dirent *task = readdir(tasks)) {
        if (task->d_name[0] == '.')
            continue;
        std::ifstream stat(std::string("/proc/self/task/") + task->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // pid (name) state ... utime stime: fields 14 and 15, the name may hold spaces.
        const auto open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::atoll(field.c_str());
            if (i == 15)
                stime = std::atoll(field.c_str());
        }
        byName[text.substr(open + 1, close - open - 1)] += (utime + stime) * 1'000'000'000 / ticksPerSecond;
    }
    closedir(tasks);
    return byName;
}

void EventLog::Add(int64_t atNs, int64_t value)
{
    std::lock_guard lock(eventsLock);
    events.push_back({atNs, value});
}

std::vector<int64_t> EventLog::Between(int64_t fromNs, int64_t toNs) const
{
    std::lock_guard lock(eventsLock);
    std::vector<int64_t> values;
    for (const TimedValue &event : events)
        if (event.atNs >= fromNs && event.atNs < toNs)
            values.push_back(event.value);
    return values;
}

std::size_t EventLog::CountBetween(int64_t fromNs, int64_t toNs) const
{
    return Between(fromNs, toNs).size();
}

// --- frames ---------------------------------------------------------------

void ShownFrames::Show(const uint8_t *pixels, int width, int height, int stride)
{
    const int64_t nowNs = MonotonicNs();
    const auto reading = testpattern::ReadTestFrame(pixels, width, height, stride, testpattern::PixelFormat::BGRx);
    if (!reading)
        return;
    // The camera paints the low 48 bits of the monotonic clock in microseconds.
    constexpr int64_t kMask = (int64_t(1) << 48) - 1;
    const int64_t nowUs = nowNs / 1000;
    const int64_t delayUs = (nowUs - reading->captureTimeUs) & kMask;
    std::lock_guard lock(framesLock);
    frames.push_back({nowNs - delayUs * 1000, delayUs, reading->frameNumber, reading->checksumOk});
    if (reading->checksumOk && !firstIntactNs)
        firstIntactNs = nowNs;
}

void ShownFrames::OnFrameShown(GstElement *, GstSample *sample, gpointer self)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return;
    static_cast<ShownFrames *>(self)->Show(static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                                           GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    gst_video_frame_unmap(&frame);
}

void ShownFrames::OnHandoff(GstElement *, GstBuffer *buffer, GstPad *pad, gpointer self)
{
    GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    GstMiniRef<GstSample> sample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    OnFrameShown(nullptr, sample.get(), self);
}

ShownFrames::Window ShownFrames::Summarise(int64_t fromNs, int64_t toNs) const
{
    std::lock_guard lock(framesLock);
    Window window;
    std::map<uint32_t, bool> numbers; // frame number: shown intact
    for (const Frame &frame : frames) {
        if (frame.capturedNs < fromNs || frame.capturedNs >= toNs)
            continue;
        if (frame.intact) {
            window.delaysUs.push_back(frame.delayUs);
            ++window.intact;
        } else {
            ++window.corrupt;
        }
        numbers[frame.number] = numbers[frame.number] || frame.intact;
    }
    if (!numbers.empty()) {
        const std::size_t span = numbers.rbegin()->first - numbers.begin()->first + 1;
        const auto intactNumbers =
            std::size_t(std::count_if(numbers.begin(), numbers.end(), [](const auto &entry) { return entry.second; }));
        window.lost = span - intactNumbers;
    }
    return window;
}

std::optional<int64_t> ShownFrames::FirstFrameUs() const
{
    std::lock_guard lock(framesLock);
    if (!firstIntactNs)
        return std::nullopt;
    return (*firstIntactNs - callStartNs) / 1000;
}

// --- pad to pad -----------------------------------------------------------

PadToPad::PadToPad(GstPad *in, GstPad *out, EventLog &eventLog)
    : inPad(platform::RefObject(in)), outPad(platform::RefObject(out)), log(eventLog)
{
    if (inPad && outPad) {
        inProbe = gst_pad_add_probe(inPad.get(), GST_PAD_PROBE_TYPE_BUFFER, &PadToPad::In, this, nullptr);
        outProbe = gst_pad_add_probe(outPad.get(), GST_PAD_PROBE_TYPE_BUFFER, &PadToPad::Out, this, nullptr);
    }
}

PadToPad::~PadToPad()
{
    if (inProbe)
        gst_pad_remove_probe(inPad.get(), inProbe);
    if (outProbe)
        gst_pad_remove_probe(outPad.get(), outProbe);
}

GstPadProbeReturn PadToPad::In(GstPad *, GstPadProbeInfo *, gpointer self)
{
    static_cast<PadToPad *>(self)->enteredNs = MonotonicNs();
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn PadToPad::Out(GstPad *, GstPadProbeInfo *, gpointer data)
{
    auto *self = static_cast<PadToPad *>(data);
    const int64_t nowNs = MonotonicNs();
    if (self->enteredNs != 0)
        self->log.Add(self->enteredNs, (nowNs - self->enteredNs) / 1000);
    self->enteredNs = 0; // one output per input: a second is not timed
    return GST_PAD_PROBE_OK;
}

// --- since capture --------------------------------------------------------

SinceCapture::SinceCapture(GstPad *watched, EventLog &eventLog) : pad(platform::RefObject(watched)), log(eventLog)
{
    if (pad)
        probe = gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &SinceCapture::OnBuffer, this, nullptr);
}

SinceCapture::~SinceCapture()
{
    if (probe)
        gst_pad_remove_probe(pad.get(), probe);
}

GstPadProbeReturn SinceCapture::OnBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<SinceCapture *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstRef<GstElement> element(gst_pad_get_parent_element(pad));
    GstMiniRef<GstEvent> segmentEvent(gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0));
    if (!element || !segmentEvent || !GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    const GstSegment *segment = nullptr;
    gst_event_parse_segment(segmentEvent.get(), &segment);
    const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return GST_PAD_PROBE_OK;
    const int64_t capturedNs = int64_t(gst_element_get_base_time(element.get()) + running);
    self->log.Add(capturedNs, (MonotonicNs() - capturedNs) / 1000);
    return GST_PAD_PROBE_OK;
}

// --- first buffer ---------------------------------------------------------

FirstBuffer::FirstBuffer(GstPad *watched) : pad(platform::RefObject(watched))
{
    if (pad)
        probe = gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &FirstBuffer::OnBuffer, this, nullptr);
}

FirstBuffer::~FirstBuffer()
{
    if (probe)
        gst_pad_remove_probe(pad.get(), probe);
}

std::optional<int64_t> FirstBuffer::AtNs() const
{
    const int64_t at = atNs.load();
    return at ? std::optional<int64_t>(at) : std::nullopt;
}

GstPadProbeReturn FirstBuffer::OnBuffer(GstPad *, GstPadProbeInfo *, gpointer data)
{
    int64_t none = 0;
    static_cast<FirstBuffer *>(data)->atNs.compare_exchange_strong(none, MonotonicNs());
    return GST_PAD_PROBE_OK;
}

// --- audio ----------------------------------------------------------------

HeardAudio::HeardAudio(GstElement *audioSink, int64_t burstInterval)
    : sink(platform::RefObject(audioSink)), burstIntervalNs(burstInterval)
{
    if (!sink) {
        problem = "no audio sink";
        return;
    }
    // The pad that hands the sink its buffers: the peer of the sink's own.
    GstRef<GstPad> own(gst_element_get_static_pad(sink.get(), "sink"));
    if (own)
        sinkPad.reset(gst_pad_get_peer(own.get()));
    if (!sinkPad) {
        problem = "the audio sink is not linked";
        return;
    }
    probe = gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_BUFFER, &HeardAudio::OnBuffer, this, nullptr);
}

HeardAudio::~HeardAudio()
{
    if (probe)
        gst_pad_remove_probe(sinkPad.get(), probe);
}

std::string HeardAudio::Problem() const
{
    std::lock_guard lock(problemLock);
    return problem;
}

GstPadProbeReturn HeardAudio::OnBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self)
{
    static_cast<HeardAudio *>(self)->Take(pad, GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_PAD_PROBE_OK;
}

void HeardAudio::Take(GstPad *pad, GstBuffer *buffer)
{
    GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    GstAudioInfo format;
    if (!caps || !gst_audio_info_from_caps(&format, caps.get()))
        return;
    if (GST_AUDIO_INFO_FORMAT(&format) != GST_AUDIO_FORMAT_S16LE || GST_AUDIO_INFO_CHANNELS(&format) != 1) {
        std::lock_guard lock(problemLock);
        problem = "the sink takes other audio than 16-bit mono";
        return;
    }
    const auto handOver = media::DescribeHandOver(pad, buffer, format);
    if (!handOver)
        return;
    if (GST_AUDIO_INFO_RATE(&format) != rate) {
        rate = GST_AUDIO_INFO_RATE(&format);
        detector.emplace(rate);
        playout.Restart();
    }
    const int64_t playNs = handOver->playNs ? std::max(*handOver->playNs, handOver->handedNs) : handOver->handedNs;
    if (playout.Take(*handOver))
        gaps.Add(playNs, 1);

    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    const std::span<const int16_t> samples(reinterpret_cast<const int16_t *>(map.data), map.size / 2);
    // The bursts start on whole multiples of the interval on the monotonic clock.
    const std::vector<int64_t> onsets = detector->Feed(samples, playNs);
    gst_buffer_unmap(buffer, &map);
    recent[nextRecent] = {playNs, playNs + handOver->durationNs, handOver->handedNs};
    nextRecent = (nextRecent + 1) % recent.size();
    for (const int64_t onsetNs : onsets) {
        // The onset's sample was handed over with the buffer it plays in.
        const auto in = std::find_if(recent.begin(), recent.end(), [onsetNs](const Played &played) {
            return played.endNs > played.startNs && onsetNs >= played.startNs && onsetNs < played.endNs;
        });
        if (in == recent.end())
            continue;
        const int64_t sentNs = testpattern::BurstOnsetAtOrBefore(onsetNs, burstIntervalNs);
        heard.Add(sentNs, (onsetNs - sentNs) / 1000);
        handed.Add(sentNs, (in->handedNs - sentNs) / 1000);
    }
}

} // namespace kestrel::bench
