// The call benchmark: two peers on loopback (127.0.20.2 and 127.0.20.3), each
// in a process of its own, call each other with the test camera (QCIF,
// 30 fps) and the test microphone, first through Kestrel's own graphs
// (media::CGraphBuilder: H.263 and TrueSpeech over the Tideline elements),
// then through GStreamer's stock RTP elements with the same media, without
// and with rtpjitterbuffer. It prints, side by side:
//
//   glass to glass  the camera's painted capture time read back where the
//                   far end's renderer shows the frame (its frame-shown tap)
//   mouth to ear    the test microphone's burst onsets found in the far
//                   end's audio where it is handed to the audio sink, timed
//                   when the sink plays it (running time + the pipeline's
//                   latency on the clock), and when it is handed over
//   first frame     from the start of the call's media to the first intact
//                   frame shown on each side
//   CPU             processor time of each whole peer over the window, by
//                   thread, and of the test devices alone (a third run)
//
//   call_bench           full run: 3 s warm-up, 20 s measured per setup (about 1.5 min)
//   call_bench --quick   a short run for CI (a few seconds), without the jitter-buffer setup
//
// kestrel_peers_cpu.sh measures two whole kestrel programs in a call instead.
#include "bench/call/Peer.h"
#include "bench/call/PeerProcess.h"

#include <gst/gst.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kestrel::bench;
using namespace std::chrono_literals;

constexpr const char *kAddressA = "127.0.20.2";
constexpr const char *kAddressB = "127.0.20.3";

struct Setup {
    const char *kind; // the --peer argument
    const char *title;
};

const Setup kSetups[] = {
    {"kestrel", "Kestrel"},
    {"stock", "stock RTP"},
    {"stock-jitterbuffer", "stock + jitterbuffer"},
};

struct Durations {
    int warmUpMs;
    int measureMs;
};

// Both peers of one setup, started at the same moment.
struct CallResults {
    PeerResults a, b;
    bool ok = false;
};

CallResults RunCall(const Setup &setup, Durations durations)
{
    auto arguments = [&](const char *self, const char *peer) {
        return std::vector<std::string>{"--peer", setup.kind, "--bind", self, "--to", peer,
                                        "--warm-up-ms", std::to_string(durations.warmUpMs),
                                        "--measure-ms", std::to_string(durations.measureMs)};
    };
    CallResults results;
    PeerProcess a(arguments(kAddressA, kAddressB));
    PeerProcess b(arguments(kAddressB, kAddressA));
    std::string line;
    for (PeerProcess *peer : {&a, &b}) {
        while (peer->ReadLine(line, 60s) && line != "ready") {
        }
        if (line != "ready") {
            std::fprintf(stderr, "%s: a peer did not get ready\n", setup.title);
            return results;
        }
    }
    const std::string start = "start " + std::to_string(MonotonicNs() + 50'000'000);
    a.Send(start);
    b.Send(start);
    const auto limit = std::chrono::milliseconds(durations.warmUpMs + durations.measureMs + 20000);
    auto resultsA = a.Finish(limit);
    auto resultsB = b.Finish(limit);
    if (!resultsA || !resultsB)
        return results;
    results.a = std::move(*resultsA);
    results.b = std::move(*resultsB);
    results.ok = true;
    return results;
}

// --- figures ---------------------------------------------------------------

std::vector<long long> Both(const CallResults &call, const char *name)
{
    std::vector<long long> values = call.a.Values(name);
    const auto &more = call.b.Values(name);
    values.insert(values.end(), more.begin(), more.end());
    std::sort(values.begin(), values.end());
    return values;
}

long long SumBoth(const CallResults &call, const char *name)
{
    return call.a.Number(name).value_or(0) + call.b.Number(name).value_or(0);
}

// The value below which `fraction` of the sorted values lie (nearest rank).
std::optional<double> Quantile(const std::vector<long long> &sorted, double fraction)
{
    if (sorted.empty())
        return std::nullopt;
    const std::size_t rank = std::min(sorted.size() - 1, std::size_t(fraction * double(sorted.size())));
    return double(sorted[rank]);
}

std::string Ms(std::optional<double> us, int decimals = 1)
{
    if (!us)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f ms", decimals, *us / 1000.0);
    return text;
}

std::string Count(long long n) { return std::to_string(n); }

struct Row {
    std::string figure;
    std::vector<std::string> cells; // one per setup
    std::string goal;
};

void PrintTable(const std::vector<Row> &rows, const std::vector<std::string> &titles)
{
    std::size_t figureWidth = std::strlen("figure");
    std::vector<std::size_t> widths;
    for (const auto &title : titles)
        widths.push_back(title.size());
    std::size_t goalWidth = std::strlen("goal");
    for (const Row &row : rows) {
        figureWidth = std::max(figureWidth, row.figure.size());
        for (std::size_t i = 0; i < row.cells.size(); ++i)
            widths[i] = std::max(widths[i], row.cells[i].size());
        goalWidth = std::max(goalWidth, row.goal.size());
    }
    auto print = [&](const std::string &figure, const std::vector<std::string> &cells, const std::string &goal) {
        std::printf("%-*s", int(figureWidth), figure.c_str());
        for (std::size_t i = 0; i < cells.size(); ++i)
            std::printf(" | %*s", int(widths[i]), cells[i].c_str());
        std::printf(" | %s\n", goal.c_str());
    };
    print("figure", titles, "goal (Kestrel)");
    std::string rule(figureWidth, '-');
    for (const std::size_t width : widths)
        rule += "-+-" + std::string(width, '-');
    rule += "-+-" + std::string(goalWidth, '-');
    std::printf("%s\n", rule.c_str());
    for (const Row &row : rows)
        print(row.figure, row.cells, row.goal);
}

std::string Verdict(bool met) { return met ? "met" : "MISSED"; }

int Drive(bool quick)
{
    const Durations durations = quick ? Durations{500, 1000} : Durations{3000, 20000};
    std::vector<CallResults> calls;
    std::vector<std::string> titles;
    for (const Setup &setup : kSetups) {
        if (quick && std::strcmp(setup.kind, "stock-jitterbuffer") == 0)
            continue; // the short run compares with one stock setup
        std::fprintf(stderr, "call through %s...\n", setup.title);
        calls.push_back(RunCall(setup, durations));
        titles.push_back(setup.title);
    }
    std::vector<Row> rows;
    auto row = [&](const std::string &figure, auto cell, const std::string &goal) {
        Row r{figure, {}, goal};
        for (const CallResults &call : calls)
            r.cells.push_back(call.ok ? cell(call) : std::string("failed"));
        rows.push_back(std::move(r));
    };
    const CallResults &ours = calls.front();
    auto figureOf = [](const CallResults &call, const char *name, double fraction) {
        return Quantile(Both(call, name), fraction);
    };
    auto codecMedian = [&](const CallResults &call) -> std::optional<double> {
        const auto encode = figureOf(call, "encode_us", 0.5);
        const auto decode = figureOf(call, "decode_us", 0.5);
        if (!encode || !decode)
            return std::nullopt;
        return *encode + *decode;
    };

    // Glass to glass, both directions together.
    const auto glassMedian = figureOf(ours, "glass_us", 0.5);
    const auto glass99 = figureOf(ours, "glass_us", 0.99);
    const auto stockGlassMedian = calls.size() > 1 ? figureOf(calls[1], "glass_us", 0.5) : std::nullopt;
    const auto ourCodec = codecMedian(ours);
    row("glass to glass, median", [&](const CallResults &c) { return Ms(figureOf(c, "glass_us", 0.5), 2); },
        "encode + decode + 1 ms, at or below stock RTP: " +
            Verdict(glassMedian && ourCodec && *glassMedian <= *ourCodec + 1000 &&
                    (!stockGlassMedian || *glassMedian <= *stockGlassMedian)));
    row("  encode + decode, median", [&](const CallResults &c) { return Ms(codecMedian(c), 2); }, "");
    row("glass to glass, 99th percentile", [&](const CallResults &c) { return Ms(figureOf(c, "glass_us", 0.99)); },
        "under 5 ms: " + Verdict(glass99 && *glass99 < 5000));
    row("glass to glass, worst", [&](const CallResults &c) { return Ms(figureOf(c, "glass_us", 1.0)); }, "");
    row("frames shown intact", [&](const CallResults &c) { return Count(SumBoth(c, "frames_intact")); }, "");
    row("frames lost / corrupt",
        [&](const CallResults &c) {
            return Count(SumBoth(c, "frames_lost")) + " / " + Count(SumBoth(c, "frames_corrupt"));
        },
        "none: " + Verdict(SumBoth(ours, "frames_lost") == 0 && SumBoth(ours, "frames_corrupt") == 0));

    // Mouth to ear.
    const auto earWorst = figureOf(ours, "ear_us", 1.0);
    row("mouth to ear (played), median", [&](const CallResults &c) { return Ms(figureOf(c, "ear_us", 0.5)); },
        "under 100 ms: " + Verdict(earWorst && *earWorst < 100000));
    row("mouth to ear (played), worst", [&](const CallResults &c) { return Ms(figureOf(c, "ear_us", 1.0)); }, "");
    row("mouth to ear (handed to sink), median",
        [&](const CallResults &c) { return Ms(figureOf(c, "handed_us", 0.5)); }, "");
    row("  capture to network, median", [&](const CallResults &c) { return Ms(figureOf(c, "send_audio_us", 0.5)); },
        "");
    const long long heard = Both(ours, "ear_us").size();
    row("bursts heard / sent",
        [&](const CallResults &c) {
            return Count(long(Both(c, "ear_us").size())) + " / " + Count(SumBoth(c, "bursts_sent"));
        },
        "all: " + Verdict(heard == SumBoth(ours, "bursts_sent")));
    row("audio gaps (playout model)", [&](const CallResults &c) { return Count(SumBoth(c, "audio_gaps")); },
        "none: " + Verdict(SumBoth(ours, "audio_gaps") == 0));

    // First frame and CPU, each side.
    auto side = [](const PeerResults &peer, const char *name) { return peer.Number(name); };
    const auto firstA = side(ours.a, "first_frame_us");
    const auto firstB = side(ours.b, "first_frame_us");
    row("first frame, A / B",
        [&](const CallResults &c) {
            return Ms(side(c.a, "first_frame_us")) + " / " + Ms(side(c.b, "first_frame_us"));
        },
        "under 100 ms: " + Verdict(firstA && firstB && *firstA < 100000 && *firstB < 100000));
    auto cpu = [](const PeerResults &peer) { return std::atof(peer.Note("cpu_percent").c_str()); };
    row("CPU of a peer, A / B (% of one core)",
        [&](const CallResults &c) { return c.a.Note("cpu_percent") + " / " + c.b.Note("cpu_percent"); },
        "under 3 %: " + Verdict(ours.ok && cpu(ours.a) < 3.0 && cpu(ours.b) < 3.0));

    std::optional<CallResults> devicesAlone;
    if (!quick) {
        std::fprintf(stderr, "the test devices alone...\n");
        devicesAlone = RunCall(Setup{"devices", "test devices"}, durations);
    }

    std::printf("\nCall benchmark, %d ms measured after %d ms of warm-up, QCIF 30 fps, loopback %s <-> %s\n\n",
                durations.measureMs, durations.warmUpMs, kAddressA, kAddressB);
    PrintTable(rows, titles);
    std::printf("\nKestrel: audio sink %s / %s, StartCallMedia %s / %s, device listing %s / %s\n",
                ours.a.Note("audio_sink").c_str(), ours.b.Note("audio_sink").c_str(),
                Ms(side(ours.a, "start_call_media_us")).c_str(), Ms(side(ours.b, "start_call_media_us")).c_str(),
                Ms(side(ours.a, "device_listing_us")).c_str(), Ms(side(ours.b, "device_listing_us")).c_str());
    std::printf("Kestrel: first frame sent %s / %s after the call's start\n",
                Ms(side(ours.a, "first_frame_sent_us")).c_str(), Ms(side(ours.b, "first_frame_sent_us")).c_str());
    std::printf("Kestrel statistics: A %s\n                    B %s\n", ours.a.Note("statistics").c_str(),
                ours.b.Note("statistics").c_str());
    if (devicesAlone && devicesAlone->ok) {
        char text[160];
        std::snprintf(text, sizeof text, "%.2f / %.2f", cpu(ours.a) - cpu(devicesAlone->a),
                      cpu(ours.b) - cpu(devicesAlone->b));
        std::printf("CPU %% of one core, A / B: the test camera and microphone alone %s / %s; a Kestrel peer less them %s\n",
                    devicesAlone->a.Note("cpu_percent").c_str(), devicesAlone->b.Note("cpu_percent").c_str(), text);
    }
    std::printf("Kestrel A by thread (%% of one core): %s\n", ours.a.Note("thread_cpu").c_str());
    for (const CallResults &call : calls)
        for (const PeerResults *peer : {&call.a, &call.b})
            if (!peer->Note("audio_problem").empty())
                std::printf("audio not measured: %s\n", peer->Note("audio_problem").c_str());

    // The benchmark works when Kestrel's call carried pictures and sound both ways.
    const bool works = ours.ok && !ours.a.Values("glass_us").empty() && !ours.b.Values("glass_us").empty() &&
                       !ours.a.Values("ear_us").empty() && !ours.b.Values("ear_us").empty();
    if (!works)
        std::fprintf(stderr, "Kestrel's call did not carry video and audio both ways\n");
    return works ? 0 : 1;
}

int RunPeer(int argc, char **argv)
{
    PeerSettings settings;
    std::string kind;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char *value = argv[i + 1];
        if (option == "--peer")
            kind = value;
        else if (option == "--bind")
            settings.bindAddress = value;
        else if (option == "--to")
            settings.peerAddress = value;
        else if (option == "--warm-up-ms")
            settings.warmUpNs = std::atoll(value) * 1'000'000;
        else if (option == "--measure-ms")
            settings.measureNs = std::atoll(value) * 1'000'000;
    }
    if (kind == "kestrel")
        return RunKestrelPeer(settings);
    if (kind == "stock")
        return RunStockPeer(settings, false);
    if (kind == "stock-jitterbuffer")
        return RunStockPeer(settings, true);
    if (kind == "devices")
        return RunDevicesPeer(settings);
    std::fprintf(stderr, "unknown peer %s\n", kind.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--peer") == 0)
        return RunPeer(argc, argv);
    // A registry of the benchmark's own, so its scan of the build tree's
    // plugins leaves the user's registry alone.
    setenv("GST_REGISTRY_1_0", CALL_BENCH_REGISTRY, 1);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    return Drive(quick);
}
