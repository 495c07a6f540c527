#include "bench/call/Peer.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

namespace kestrel::bench {

namespace {

// What is sent in the last moments of the window arrives after it.
constexpr int64_t kRunOutNs = 700'000'000;

void PrintValues(const char *name, const std::vector<int64_t> &values)
{
    std::string line = std::string("values ") + name;
    for (const int64_t value : values)
        line += " " + std::to_string(value);
    std::printf("%s\n", line.c_str());
}

void PrintValue(const char *name, const std::string &value)
{
    std::printf("value %s %s\n", name, value.c_str());
}

} // namespace

void SleepUntil(int64_t monotonicNs)
{
    timespec at{static_cast<time_t>(monotonicNs / 1'000'000'000), static_cast<long>(monotonicNs % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

PeerRun::PeerRun(const PeerSettings &peerSettings) : settings(peerSettings) {}

bool PeerRun::WaitForStart()
{
    std::printf("ready\n");
    std::fflush(stdout);
    char line[128];
    long long at = 0;
    if (!std::fgets(line, sizeof line, stdin) || std::sscanf(line, "start %lld", &at) != 1)
        return false;
    startNs = at;
    return true;
}

void PeerRun::RunCall()
{
    SleepUntil(WindowStartNs());
    const int64_t cpuBefore = ProcessCpuNs();
    const auto threadsBefore = ThreadCpuNs();
    const int64_t wallBefore = MonotonicNs();
    SleepUntil(WindowEndNs());
    const int64_t cpuAfter = ProcessCpuNs();
    const auto threadsAfter = ThreadCpuNs();
    const int64_t wallAfter = MonotonicNs();
    const double wall = double(wallAfter - wallBefore);
    cpuPercent = 100.0 * double(cpuAfter - cpuBefore) / wall;
    threadPercents.clear();
    for (const auto &[name, ns] : threadsAfter) {
        const auto before = threadsBefore.find(name);
        const int64_t used = ns - (before == threadsBefore.end() ? 0 : before->second);
        if (used > 0)
            threadPercents[name] = 100.0 * double(used) / wall;
    }
    SleepUntil(WindowEndNs() + kRunOutNs);
}

void PeerRun::Note(const std::string &name, const std::string &value)
{
    PrintValue(name.c_str(), value);
}

void PeerRun::Report(const PeerMeasures &measures) const
{
    const int64_t from = WindowStartNs();
    const int64_t to = WindowEndNs();
    const ShownFrames::Window frames = measures.frames.Summarise(from, to);
    PrintValues("glass_us", frames.delaysUs);
    PrintValue("frames_intact", std::to_string(frames.intact));
    PrintValue("frames_corrupt", std::to_string(frames.corrupt));
    PrintValue("frames_lost", std::to_string(frames.lost));
    const auto first = measures.frames.FirstFrameUs();
    PrintValue("first_frame_us", first ? std::to_string(*first) : "none");
    PrintValues("encode_us", measures.encodeUs.Between(from, to));
    PrintValues("decode_us", measures.decodeUs.Between(from, to));
    PrintValues("send_audio_us", measures.sendAudioUs.Between(from, to));
    if (measures.audio) {
        PrintValues("ear_us", measures.audio->EarDelays().Between(from, to));
        PrintValues("handed_us", measures.audio->HandedDelays().Between(from, to));
        PrintValue("audio_gaps", std::to_string(measures.audio->Gaps().CountBetween(from, to)));
        if (!measures.audio->Problem().empty())
            PrintValue("audio_problem", measures.audio->Problem());
    }
    // Bursts start at every whole multiple of the interval.
    const int64_t interval = settings.burstIntervalNs;
    const int64_t firstBurst = (from + interval - 1) / interval;
    const int64_t lastBurst = (to - 1) / interval;
    PrintValue("bursts_sent", std::to_string(lastBurst - firstBurst + 1));
    char cpu[32];
    std::snprintf(cpu, sizeof cpu, "%.2f", cpuPercent);
    PrintValue("cpu_percent", cpu);
    std::string threads;
    for (const auto &[name, percent] : threadPercents) {
        char share[96];
        std::snprintf(share, sizeof share, "%s%s %.2f", threads.empty() ? "" : ", ", name.c_str(), percent);
        threads += share;
    }
    PrintValue("thread_cpu", threads);
    std::fflush(stdout);
}

} // namespace kestrel::bench
