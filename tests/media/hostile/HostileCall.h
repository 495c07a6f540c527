#pragma once
// A call's real media graphs between two graph builders on loopback, with
// the test camera and microphone, over a path a test can impair: one relay
// per stream and direction.
//
//   A (a) --video/audio--> relay on bSeenByA --from aSeenByB--> B (b)
//   A (a) <--from bSeenByA-- relay on aSeenByB <--video/audio-- B (b)
//
// A's peer is bSeenByA: A sends there and takes media only from there, and
// the relay towards A sends from that address; likewise for B.

#include "media/DeviceList.h"
#include "media/GraphBuilder.h"
#include "tests/filters/ImpairedRelay.h"
#include "tests/media/hostile/CallProbes.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::hostile {

using kestrel::testing::ImpairedRelay;
using kestrel::testing::Impairment;

// Starts GStreamer once, with the build tree's plugins and `registryFile`.
void InitGstreamer(const std::string &registryFile);

inline constexpr const char *kTestCameraName = "Kestrel Test Camera";
inline constexpr const char *kTestMicrophoneName = "Kestrel Test Microphone";

// Bytes that only a stranger's packets carry; the decoder watches look for them.
const std::vector<std::uint8_t> &StrangerSignature();

// The Video and Audio pages of a program that sends both, with the test
// camera and microphone as its only devices.
class CTestDevicePages final : public ICapturePages {
public:
    CTestDevicePages();
    bool VideoEnabled() const override { return true; }
    bool AudioEnabled() const override { return true; }
    void GetVideoSize(int &w, int &h) const override;
    void SetVideoSize(int w, int h) override;
    std::shared_ptr<ICaptureDevice> ChosenCamera() const override { return camera; }
    int ChooseDefaultVideoDevice() override;
    std::shared_ptr<ICaptureDevice> ChosenMicrophone() const override { return microphone; }
    int ChooseDefaultAudioDevice() override;

private:
    CFakeDeviceList devices;
    std::shared_ptr<ICaptureDevice> camera;
    std::shared_ptr<ICaptureDevice> microphone;
    int width = 176;
    int height = 144;
};

// One program's media: its pages, a headless host that checks every frame
// shown, the record of what it sends, the watch on its decoders, and its
// graph builder bound to `address`. The probes are declared before the
// builder, so they outlive the graphs' elements.
struct CallSide {
    explicit CallSide(const std::string &address);
    // Datagrams the receiver refused because a stranger sent them.
    std::uint64_t ForeignPackets() const;

    const std::string address;
    CTestDevicePages pages;
    CFrameCheckHost host;
    CSendRecorder sent;
    CDecoderWatch decoders{StrangerSignature()};
    std::unique_ptr<CGraphBuilder> builder;
};

struct LinkAddresses {
    std::string a;
    std::string b;
    std::string aSeenByB; // the relays towards B send from here
    std::string bSeenByA; // the relays towards A send from here
};

enum class Direction { ToB, ToA };

// The four relays of a call: video and audio, each way.
class CImpairedLink {
public:
    CImpairedLink(LinkAddresses addresses, Impairment impairment);
    bool IsReady() const;
    // New relays with `impairment`; what the old ones held is lost, and the
    // new ones' records start empty.
    void SetImpairment(Impairment impairment);
    const ImpairedRelay &Video(Direction direction) const;
    const ImpairedRelay &Audio(Direction direction) const;

private:
    const LinkAddresses addresses;
    std::unique_ptr<ImpairedRelay> videoToB, audioToB, videoToA, audioToA;
};

// Two sides and the link between them.
class CHostileCall {
public:
    CHostileCall(LinkAddresses addresses, Impairment impairment);
    ~CHostileCall();
    CHostileCall(const CHostileCall &) = delete;
    CHostileCall &operator=(const CHostileCall &) = delete;

    // Starts B's media, then A's. False when either could not start, or the
    // link's relays could not bind.
    bool Start();
    void Stop();
    // Waits until each side has shown an intact frame from the other.
    bool WaitForPictureBothWays(Clock::duration timeout) const;

    CallSide &Side(Direction towards) { return towards == Direction::ToB ? b : a; }
    CallSide &Sender(Direction towards) { return towards == Direction::ToB ? a : b; }
    // Pictures each side had sent when both sides' media were running; the
    // ones before may have gone to a receiver that was not listening yet.
    std::size_t FirstMeasured(Direction towards) const { return towards == Direction::ToB ? firstToB : firstToA; }

    const LinkAddresses addresses;
    CallSide a;
    CallSide b;
    CImpairedLink link;

private:
    std::size_t firstToB = 0;
    std::size_t firstToA = 0;
};

// How much of a run of pictures a receiver could show, and how much it did.
//
// A picture's packets all pass the relay ("whole") with chance (1-p)^k. But
// an inter picture is predicted from the one before, so it can be shown
// intact only when that one was, back to the last key frame. And the wire
// says where a picture ends (the marker) but not where one starts (all its
// packets carry the same timestamp, which is the sample's duration), so
// after a lost packet the receiver must drop the next picture too: it may
// be the lost one's tail. A picture is "showable" when it is whole, smaller
// than the receiver's 10240-byte limit, the packet just before it arrived,
// and it is a key frame or follows a showable picture: the honest bound for
// this wire. "showableIfStartsKnown" leaves out the third condition (what a
// receiver that recognised picture start codes could show); "whole" is the
// plain (1-p)^k per picture.
struct DeliveryReport {
    std::size_t sent = 0;      // pictures of the window with a readable camera frame
    std::size_t whole = 0;
    std::size_t showable = 0;
    std::size_t showableIfStartsKnown = 0;
    std::size_t delivered = 0; // distinct pictures of the window shown intact
    std::size_t corrupt = 0;   // frames shown whose picture is damaged, whole run
    std::size_t keyFrames = 0;
    double packetsPerPicture = 0;
    bool recordsAgree = true;  // the relay saw exactly the packets the pictures make
};

// Pictures [first, last) of `sent` (from the first key frame at or after
// `first`), judged against the relay's record of every datagram it got, in
// order, and the far end's shown frames.
DeliveryReport Assess(const std::vector<SentFrame> &sent, std::size_t first, std::size_t last,
                      const std::vector<bool> &forwarded, const std::vector<ShownFrame> &shown);

// "150 sent, 140 whole, 100 showable (110 knowing starts), 99 delivered, 0 corrupt, ..."
std::string Describe(const DeliveryReport &report);

// Both directions of a run, and what the video relays did.
struct CallRun {
    DeliveryReport toB;
    DeliveryReport toA;
    ImpairedRelay::Stats relayToB;
    ImpairedRelay::Stats relayToA;
    bool completed = false; // every wait ended in time
};

// Lets a started call run until each side has sent `pictures` pictures
// more than when both had started, then a little longer for the last of
// them to arrive; stops the call and judges both directions.
CallRun RunAndAssess(CHostileCall &call, std::size_t pictures);

// Packets the sender cuts a picture of `bytes` into.
std::size_t PacketsOf(std::size_t bytes);

} // namespace kestrel::media::hostile
