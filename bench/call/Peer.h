#pragma once
// One peer of a benchmarked call, run in a process of its own so that its
// processor time is its own. The driver starts two, waits until each says
// "ready" on standard output, writes "start <monotonic ns>" to both, and
// reads back what each measured as "values NAME V..." and "value NAME V"
// lines when the call is over.

#include "bench/call/Measurements.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace kestrel::bench {

struct PeerSettings {
    std::string bindAddress;
    std::string peerAddress;
    int64_t warmUpNs = 0;  // after the start, before the measured window
    int64_t measureNs = 0; // the window; afterwards the call runs on a little, for what was sent in it
    int64_t burstIntervalNs = 500'000'000;
};

// Kestrel's own graphs: two media::CGraphBuilder graphs with the test devices.
int RunKestrelPeer(const PeerSettings &settings);
// GStreamer's stock RTP elements over the same test devices and encoder.
int RunStockPeer(const PeerSettings &settings, bool jitterBuffer);
// Only the test camera and microphone, for what they cost on their own.
int RunDevicesPeer(const PeerSettings &settings);

// What every peer measures, and the timeline they share.
struct PeerMeasures {
    ShownFrames frames;
    EventLog encodeUs, decodeUs;
    EventLog sendAudioUs; // capture of a sent audio frame's first sample to its leaving for the network
    std::unique_ptr<HeardAudio> audio;
};

class PeerRun {
public:
    explicit PeerRun(const PeerSettings &settings);

    // Says "ready" and waits for the driver's start time (false: no start came).
    bool WaitForStart();
    int64_t StartNs() const { return startNs; }
    int64_t WindowStartNs() const { return startNs + settings.warmUpNs; }
    int64_t WindowEndNs() const { return WindowStartNs() + settings.measureNs; }
    // Sleeps through the warm-up, the window (measuring processor time) and
    // the run-out.
    void RunCall();
    // Prints what was measured in the window.
    void Report(const PeerMeasures &measures) const;
    static void Note(const std::string &name, const std::string &value);

private:
    PeerSettings settings;
    int64_t startNs = 0;
    double cpuPercent = 0;
    std::map<std::string, double> threadPercents; // of one core, by thread name
};

void SleepUntil(int64_t monotonicNs);

} // namespace kestrel::bench
