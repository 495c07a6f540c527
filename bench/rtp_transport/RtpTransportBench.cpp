// Measures the Tideline elements over loopback: latency from handing a sample
// to the render element to its leaving the source pad, CPU time of the
// source element idle and under call load, and the sample rate at which
// samples start being lost.
//
//   rtp_transport_bench          full run (about 20 s)
//   rtp_transport_bench --quick  short run for CI (a few seconds)
#include "tideline/rtpconfig.h"

#include <gst/gst.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char *kReceiverAddress = "127.1.6.1";
constexpr const char *kSenderAddress = "127.1.6.2";
constexpr std::size_t kVideoSampleBytes = 3000; // a typical QCIF H.263 frame: three packets
constexpr std::size_t kAudioSampleBytes = 32;   // one TrueSpeech block

struct Settings {
    int latencySamples = 2000;
    std::chrono::milliseconds cpuWindow = 5s;
    std::chrono::milliseconds lossStep = 1s;
};

void UseBuildTreePlugin()
{
    setenv("GST_PLUGIN_PATH_1_0", TIDELINE_PLUGIN_BUILD_DIR, 1);
    setenv("GST_PLUGIN_SYSTEM_PATH_1_0", GST_SYSTEM_PLUGIN_DIR, 1);
    setenv("GST_REGISTRY_1_0", TIDELINE_BENCH_REGISTRY, 1);
    gst_init(nullptr, nullptr);
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The receiving side: a source element whose two pads feed fake sinks, with
// a probe on each pad noting when samples leave it.
class Receiver {
public:
    Receiver()
    {
        pipeline = gst_pipeline_new("receiver");
        source = gst_element_factory_make(TIDELINE_RTP_SOURCE_FACTORY, "src");
        GstElement *videoSink = gst_element_factory_make("fakesink", nullptr);
        GstElement *audioSink = gst_element_factory_make("fakesink", nullptr);
        if (!source || !videoSink || !audioSink) {
            std::fprintf(stderr, "the Tideline plugin or fakesink is missing\n");
            std::exit(2);
        }
        g_object_set(source, "bind-address", kReceiverAddress, nullptr);
        g_object_set(videoSink, "sync", FALSE, "async", FALSE, nullptr);
        g_object_set(audioSink, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline), source, videoSink, audioSink, nullptr);
        gst_element_link_pads(source, "Video Transport", videoSink, "sink");
        gst_element_link_pads(source, "Audio Transport", audioSink, "sink");
        GstPad *video = gst_element_get_static_pad(source, "Video Transport");
        gst_pad_add_probe(video, GST_PAD_PROBE_TYPE_BUFFER, OnVideoLeaves, this, nullptr);
        gst_object_unref(video);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    }
    ~Receiver()
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    std::atomic<uint64_t> videoSamples{0};
    std::atomic<uint32_t> lastSequence{0};
    std::atomic<int64_t> lastLeftNs{0};

private:
    static GstPadProbeReturn OnVideoLeaves(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *self = static_cast<Receiver *>(data);
        const int64_t now = Clock::now().time_since_epoch().count();
        uint32_t sequence = 0;
        gst_buffer_extract(GST_PAD_PROBE_INFO_BUFFER(info), 0, &sequence, sizeof sequence);
        self->lastLeftNs = now;
        self->lastSequence = sequence;
        ++self->videoSamples;
        return GST_PAD_PROBE_OK;
    }

    GstElement *pipeline;
    GstElement *source;
};

// The sending side: a render element fed directly from our own pads, so a
// sample is handed to it at the moment gst_pad_push is called.
class Sender {
public:
    Sender()
    {
        render = gst_element_factory_make(TIDELINE_RTP_RENDER_FACTORY, nullptr);
        gst_object_ref_sink(render);
        g_object_set(render, "address", kReceiverAddress, "bind-address", kSenderAddress, nullptr);
        video = MakeFeeder("Video Transport", "video/x-h263, variant=(string)itu, width=176, height=144");
        audio = MakeFeeder("Audio Transport", "audio/x-truespeech, rate=8000, channels=1");
        gst_element_set_state(render, GST_STATE_PLAYING);
        for (GstPad *pad : {video, audio}) {
            gst_pad_push_event(pad, gst_event_new_stream_start("bench"));
            GstCaps *caps = static_cast<GstCaps *>(g_object_get_data(G_OBJECT(pad), "caps"));
            gst_pad_push_event(pad, gst_event_new_caps(caps));
            GstSegment segment;
            gst_segment_init(&segment, GST_FORMAT_TIME);
            gst_pad_push_event(pad, gst_event_new_segment(&segment));
        }
    }
    ~Sender()
    {
        gst_element_set_state(render, GST_STATE_NULL);
        for (GstPad *pad : {video, audio}) {
            gst_pad_set_active(pad, FALSE);
            gst_object_unref(pad);
        }
        gst_object_unref(render);
    }

    void SendVideo(uint32_t sequence) { Push(video, kVideoSampleBytes, sequence); }
    void SendAudio(uint32_t sequence) { Push(audio, kAudioSampleBytes, sequence); }

private:
    GstPad *MakeFeeder(const char *renderPad, const char *caps)
    {
        GstPad *pad = gst_pad_new("feeder", GST_PAD_SRC);
        g_object_set_data_full(G_OBJECT(pad), "caps", gst_caps_from_string(caps),
                               reinterpret_cast<GDestroyNotify>(gst_caps_unref));
        gst_pad_set_active(pad, TRUE);
        GstPad *sink = gst_element_get_static_pad(render, renderPad);
        gst_pad_link(pad, sink);
        gst_object_unref(sink);
        return pad;
    }

    static void Push(GstPad *pad, std::size_t size, uint32_t sequence)
    {
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
        gst_buffer_memset(buffer, 0, 0x5a, size);
        gst_buffer_fill(buffer, 0, &sequence, sizeof sequence);
        gst_pad_push(pad, buffer);
    }

    GstElement *render;
    GstPad *video;
    GstPad *audio;
};

bool WaitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void MeasureLatency(const Settings &settings)
{
    Receiver receiver;
    Sender sender;
    std::vector<double> latenciesUs;
    int lost = 0;
    for (uint32_t sequence = 1; sequence <= static_cast<uint32_t>(settings.latencySamples); ++sequence) {
        const auto handed = Clock::now();
        sender.SendVideo(sequence);
        if (!WaitFor([&] { return receiver.lastSequence.load() == sequence; }, 500ms)) {
            ++lost;
            continue;
        }
        const auto left = Clock::time_point(Clock::duration(receiver.lastLeftNs.load()));
        latenciesUs.push_back(std::chrono::duration<double, std::micro>(left - handed).count());
    }
    if (latenciesUs.empty()) {
        std::printf("latency: no sample arrived\n");
        std::exit(1);
    }
    std::sort(latenciesUs.begin(), latenciesUs.end());
    auto percentile = [&](double p) { return latenciesUs[static_cast<std::size_t>(p * (latenciesUs.size() - 1))]; };
    std::printf("latency (%zu samples of %zu bytes, %d lost): median %.0f us, p99 %.0f us, max %.0f us\n",
                latenciesUs.size(), kVideoSampleBytes, lost, percentile(0.5), percentile(0.99), latenciesUs.back());
}

// CPU of this process, which runs only the receiver, over `window`.
double ReceiverCpuPercent(std::chrono::milliseconds window)
{
    const double cpuBefore = CpuSeconds();
    const auto before = Clock::now();
    std::this_thread::sleep_for(window); // the measurement window itself, not a wait for an event
    const double wall = std::chrono::duration<double>(Clock::now() - before).count();
    return 100.0 * (CpuSeconds() - cpuBefore) / wall;
}

// Call load from a separate process (its own CPU account): 30 video and 33
// audio samples per second for `seconds`.
void SendCallLoad(int seconds)
{
    Sender sender;
    const auto start = Clock::now();
    auto nextVideo = start, nextAudio = start;
    uint32_t sequence = 0;
    while (Clock::now() - start < std::chrono::seconds(seconds)) {
        const auto now = Clock::now();
        if (now >= nextVideo) {
            sender.SendVideo(++sequence);
            nextVideo += std::chrono::microseconds(1000000 / 30);
        }
        if (now >= nextAudio) {
            sender.SendAudio(sequence);
            nextAudio += std::chrono::microseconds(1000000 / 33);
        }
        std::this_thread::sleep_until(std::min(nextVideo, nextAudio));
    }
}

void MeasureCpu(const Settings &settings)
{
    Receiver receiver;
    std::this_thread::sleep_for(200ms); // let start-up work settle before measuring idle
    std::printf("source CPU idle: %.2f %% of one core\n", ReceiverCpuPercent(settings.cpuWindow));

    // A fresh process (fork and exec, never fork alone with threads running).
    const std::string seconds =
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(settings.cpuWindow + 2s).count());
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "rtp_transport_bench", "--call-load", seconds.c_str(), static_cast<char *>(nullptr));
        std::_Exit(127);
    }
    WaitFor([&] { return receiver.videoSamples.load() > 0; }, 3s);
    const double loaded = ReceiverCpuPercent(settings.cpuWindow);
    int status = 0;
    waitpid(child, &status, 0);
    std::printf("source CPU with 30 video + 33 audio samples/s: %.2f %% of one core (%llu video samples)\n", loaded,
                static_cast<unsigned long long>(receiver.videoSamples.load()));
}

void MeasureLossThreshold(const Settings &settings)
{
    Receiver receiver;
    Sender sender;
    uint32_t sequence = 0;
    // Let the source's streaming tasks start (caps, buffer pool) before
    // counting, as they have long before a call's first frames.
    sender.SendVideo(++sequence);
    WaitFor([&] { return receiver.videoSamples.load() > 0; }, 3s);
    int threshold = 0;
    for (int rate : {250, 500, 1000, 2000, 4000, 8000, 16000}) {
        const uint64_t receivedBefore = receiver.videoSamples.load();
        const auto start = Clock::now();
        const auto interval = std::chrono::nanoseconds(1000000000LL / rate);
        auto next = start;
        uint64_t sent = 0;
        while (Clock::now() - start < settings.lossStep) {
            sender.SendVideo(++sequence);
            ++sent;
            next += interval;
            std::this_thread::sleep_until(next);
        }
        const double achieved = sent / std::chrono::duration<double>(Clock::now() - start).count();
        WaitFor([&] { return receiver.videoSamples.load() - receivedBefore >= sent; }, 300ms);
        const uint64_t received = receiver.videoSamples.load() - receivedBefore;
        const double lossPercent = 100.0 * (sent - std::min(sent, received)) / sent;
        std::printf("  %5d samples/s asked (%.0f sent/s): %.2f %% lost\n", rate, achieved, lossPercent);
        if (lossPercent > 1.0 && threshold == 0)
            threshold = rate;
    }
    if (threshold)
        std::printf("loss threshold: samples start being lost (over 1 %%) at %d samples/s of %zu bytes\n", threshold,
                    kVideoSampleBytes);
    else
        std::printf("loss threshold: no loss over 1 %% up to 16000 samples/s of %zu bytes\n", kVideoSampleBytes);
}

} // namespace

int main(int argc, char **argv)
{
    Settings settings;
    if (argc > 2 && std::strcmp(argv[1], "--call-load") == 0) {
        UseBuildTreePlugin();
        SendCallLoad(std::atoi(argv[2]));
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--quick") == 0)
        settings = Settings{100, 500ms, 200ms};
    UseBuildTreePlugin();
    MeasureLatency(settings);
    MeasureLossThreshold(settings);
    MeasureCpu(settings);
    return 0;
}
