#include "tests/media/hostile/HostileCall.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace kestrel::media::hostile {

namespace {

constexpr int kVideoPort = kMediaPort;
constexpr int kAudioPort = kMediaPort - 2;
constexpr std::size_t kPayloadBytes = 1400;        // the sender's slices
constexpr std::size_t kReceiverSampleLimit = 10240; // a sample reaching this is dropped

std::unique_ptr<ImpairedRelay> RelayOf(const std::string &listen, const std::string &sendFrom,
                                       const std::string &destination, int port, const Impairment &impairment)
{
    return std::make_unique<ImpairedRelay>(ImpairedRelay::Endpoint{listen, port}, ImpairedRelay::Endpoint{sendFrom, 0},
                                           ImpairedRelay::Endpoint{destination, port}, impairment);
}

} // namespace

void InitGstreamer(const std::string &registryFile)
{
    static const bool done = [&registryFile] {
        setenv("GST_PLUGIN_PATH_1_0", KESTREL_HOSTILE_PLUGIN_DIR, 1);
        setenv("GST_PLUGIN_SYSTEM_PATH_1_0", KESTREL_HOSTILE_SYSTEM_PLUGIN_DIR, 1);
        setenv("GST_REGISTRY_1_0", registryFile.c_str(), 1);
        setenv("GST_REGISTRY_FORK", "no", 1); // sanitizer builds cannot use the scanner
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)done;
}

const std::vector<std::uint8_t> &StrangerSignature()
{
    static const std::vector<std::uint8_t> signature = {0x5A, 0xA5, 0x3C, 0xC3, 0x96, 0x69, 0x0F, 0xF0};
    return signature;
}

// ---- CTestDevicePages ----

CTestDevicePages::CTestDevicePages()
{
    devices.Add(DeviceCategory::Video, kTestCameraName, "kestreltestcamerasrc");
    devices.Add(DeviceCategory::Audio, kTestMicrophoneName, "kestreltestmicrophonesrc");
}

void CTestDevicePages::GetVideoSize(int &w, int &h) const
{
    w = width;
    h = height;
}

void CTestDevicePages::SetVideoSize(int w, int h)
{
    width = w;
    height = h;
}

int CTestDevicePages::ChooseDefaultVideoDevice()
{
    if (camera)
        return 1;
    camera = FirstDevice(devices, DeviceCategory::Video);
    return camera ? 0 : 1;
}

int CTestDevicePages::ChooseDefaultAudioDevice()
{
    if (microphone)
        return 1;
    microphone = FirstDevice(devices, DeviceCategory::Audio);
    return microphone ? 0 : 1;
}

// ---- CallSide ----

CallSide::CallSide(const std::string &bindAddress) : address(bindAddress)
{
    builder = std::make_unique<CGraphBuilder>(CGraphBuilder::Parts{pages, host, {}, {}, address});
    if (builder->Create() != CGraphBuilder::Creation::Created)
        return;
    sent.Watch(builder->CaptureGraph(), kTestCameraName);
    decoders.Watch(builder->RenderGraph());
}

std::uint64_t CallSide::ForeignPackets() const
{
    guint64 foreign = 0;
    if (GstElement *source = builder->Slots().rtpSource.get())
        g_object_get(source, "foreign-packets", &foreign, nullptr);
    return foreign;
}

// ---- CImpairedLink ----

CImpairedLink::CImpairedLink(LinkAddresses linkAddresses, Impairment impairment) : addresses(std::move(linkAddresses))
{
    SetImpairment(impairment);
}

void CImpairedLink::SetImpairment(Impairment impairment)
{
    // The old relays let go of their ports before the new ones bind them.
    videoToB.reset();
    audioToB.reset();
    videoToA.reset();
    audioToA.reset();
    videoToB = RelayOf(addresses.bSeenByA, addresses.aSeenByB, addresses.b, kVideoPort, impairment);
    audioToB = RelayOf(addresses.bSeenByA, addresses.aSeenByB, addresses.b, kAudioPort, impairment);
    // The other direction draws its own chances from the next seed.
    impairment.seed += 1000;
    videoToA = RelayOf(addresses.aSeenByB, addresses.bSeenByA, addresses.a, kVideoPort, impairment);
    audioToA = RelayOf(addresses.aSeenByB, addresses.bSeenByA, addresses.a, kAudioPort, impairment);
}

bool CImpairedLink::IsReady() const
{
    return videoToB->IsReady() && audioToB->IsReady() && videoToA->IsReady() && audioToA->IsReady();
}

const ImpairedRelay &CImpairedLink::Video(Direction direction) const
{
    return direction == Direction::ToB ? *videoToB : *videoToA;
}

const ImpairedRelay &CImpairedLink::Audio(Direction direction) const
{
    return direction == Direction::ToB ? *audioToB : *audioToA;
}

// ---- CHostileCall ----

CHostileCall::CHostileCall(LinkAddresses linkAddresses, Impairment impairment)
    : addresses(std::move(linkAddresses)), a(addresses.a), b(addresses.b), link(addresses, impairment)
{
}

CHostileCall::~CHostileCall()
{
    Stop();
}

bool CHostileCall::Start()
{
    if (!link.IsReady())
        return false;
    const bool bStarted = b.builder->StartCallMedia(addresses.aSeenByB, 3);
    const bool aStarted = a.builder->StartCallMedia(addresses.bSeenByA, 3);
    firstToB = a.sent.Count();
    firstToA = b.sent.Count();
    return aStarted && bStarted;
}

void CHostileCall::Stop()
{
    a.builder->StopMedia();
    b.builder->StopMedia();
}

bool CHostileCall::WaitForPictureBothWays(Clock::duration timeout) const
{
    const auto deadline = Clock::now() + timeout;
    return a.host.WaitForNewIntactFrame(Clock::time_point{}, std::nullopt, timeout) &&
           b.host.WaitForNewIntactFrame(Clock::time_point{}, std::nullopt, deadline - Clock::now());
}

CallRun RunAndAssess(CHostileCall &call, std::size_t pictures)
{
    // Pictures sent after the last judged one, so that it has had time to
    // cross the relay's delay (at 30 pictures a second, half a second).
    constexpr std::size_t kSettlePictures = 15;
    const std::size_t lastToB = call.FirstMeasured(Direction::ToB) + pictures;
    const std::size_t lastToA = call.FirstMeasured(Direction::ToA) + pictures;
    const auto timeout = std::chrono::milliseconds(100) * (pictures + kSettlePictures) + std::chrono::seconds(10);
    CallRun run;
    run.completed = call.a.sent.WaitForCount(lastToB + kSettlePictures, timeout) &&
                    call.b.sent.WaitForCount(lastToA + kSettlePictures, timeout);
    call.Stop();
    for (Direction towards : {Direction::ToB, Direction::ToA}) {
        const ImpairedRelay &relay = call.link.Video(towards);
        run.completed = relay.WaitUntilIdle(std::chrono::seconds(5)) && run.completed;
        const DeliveryReport report = Assess(call.Sender(towards).sent.Frames(), call.FirstMeasured(towards),
                                             towards == Direction::ToB ? lastToB : lastToA, relay.Forwarded(),
                                             call.Side(towards).host.Frames());
        (towards == Direction::ToB ? run.toB : run.toA) = report;
        (towards == Direction::ToB ? run.relayToB : run.relayToA) = relay.Counters();
    }
    return run;
}

std::string Describe(const DeliveryReport &r)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "%zu sent, %zu whole, %zu showable (%zu knowing starts), %zu delivered, %zu corrupt, %zu key "
                  "frames, %.2f packets a picture%s",
                  r.sent, r.whole, r.showable, r.showableIfStartsKnown, r.delivered, r.corrupt, r.keyFrames,
                  r.packetsPerPicture, r.recordsAgree ? "" : ", records disagree");
    return text;
}

// ---- Assess ----

std::size_t PacketsOf(std::size_t bytes)
{
    return bytes == 0 ? 1 : (bytes + kPayloadBytes - 1) / kPayloadBytes;
}

DeliveryReport Assess(const std::vector<SentFrame> &sent, std::size_t first, std::size_t last,
                      const std::vector<bool> &forwarded, const std::vector<ShownFrame> &shown)
{
    DeliveryReport report;
    // The window opens at a key frame, so that no picture in it depends on
    // one the receiver may have missed while it was starting.
    while (first < sent.size() && !sent[first].keyFrame)
        ++first;
    std::set<std::uint32_t> window;
    std::size_t packet = 0;
    std::size_t windowPackets = 0;
    bool previousShowable = false;
    bool previousShowableIfStartsKnown = false;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const SentFrame &frame = sent[i];
        const std::size_t packets = PacketsOf(frame.bytes);
        bool whole = i >= first;
        for (std::size_t p = packet; p < packet + packets && whole; ++p)
            whole = p < forwarded.size() && forwarded[p];
        const bool deliverable = whole && frame.bytes < kReceiverSampleLimit;
        // After a hole the receiver cannot tell this picture's first packet
        // from the tail of the one before: it drops it.
        const bool startSeen = packet == 0 || (packet - 1 < forwarded.size() && forwarded[packet - 1]);
        const bool showable = deliverable && startSeen && (frame.keyFrame || previousShowable);
        const bool showableIfStartsKnown = deliverable && (frame.keyFrame || previousShowableIfStartsKnown);
        previousShowable = showable;
        previousShowableIfStartsKnown = showableIfStartsKnown;
        if (i >= first && i < last && frame.number) {
            ++report.sent;
            report.whole += whole;
            report.showable += showable;
            report.showableIfStartsKnown += showableIfStartsKnown;
            report.keyFrames += frame.keyFrame;
            windowPackets += packets;
            window.insert(*frame.number);
        }
        packet += packets;
    }
    report.recordsAgree = packet == forwarded.size();
    report.packetsPerPicture = report.sent ? static_cast<double>(windowPackets) / static_cast<double>(report.sent) : 0;

    std::set<std::uint32_t> delivered;
    for (const ShownFrame &frame : shown) {
        if (!frame.intact)
            ++report.corrupt;
        else if (window.count(*frame.number))
            delivered.insert(*frame.number);
    }
    report.delivered = delivered.size();
    return report;
}

} // namespace kestrel::media::hostile
