// A receiver under a UDP flood of its video port: what it costs and how
// fast the peer is heard again.
// Usage: rtp_flood_bench [PACKETS_PER_SECOND [SECONDS]]   (100000, 5)
// Prints one line: rate, seconds, datagrams flooded, counted as foreign,
// peer samples sent and delivered during the flood, resident memory growth
// and the time from the flood's end to the next peer sample delivered.
#include "UdpFlooder.h"
#include "filters/RtpChannel.h"
#include "filters/RtpReceiver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace kestrel::filters;
using kestrel::testing::ResidentKiB;
using namespace std::chrono_literals;

namespace {

std::size_t TakeAll(CRtpReceiver &receiver, std::vector<uint8_t> &buffer)
{
    std::size_t taken = 0;
    int length = 0;
    uint32_t timestamp = 0;
    while (receiver.GetFrame(buffer, length, timestamp))
        ++taken;
    return taken;
}

} // namespace

int main(int argc, char **argv)
{
    const unsigned rate = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 100000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    CRtpReceiver receiver;
    CRtpChannel peer;
    if (!receiver.Start(6060, "127.1.6.10", "127.1.6.11") || !peer.Open("127.1.6.10", 6060, 6080, "127.1.6.11")) {
        std::fprintf(stderr, "cannot open the receiver or the peer on 127.1.6.10/11\n");
        return 1;
    }
    std::vector<uint8_t> sample(3000, 0x5a), buffer(25344);
    peer.SendSample(sample, 1);
    receiver.WaitForFrame(2s);
    TakeAll(receiver, buffer);
    const long residentBefore = static_cast<long>(ResidentKiB());
    long residentPeak = residentBefore;

    kestrel::testing::UdpFlooder flooder("127.1.6.12", "127.1.6.10", 6060, rate);
    flooder.Start();
    std::size_t sent = 0, delivered = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    // The peer sends 20 samples a second throughout, as a camera would.
    for (auto next = std::chrono::steady_clock::now(); next < end; next += 50ms) {
        std::this_thread::sleep_until(next);
        peer.SendSample(sample, 1);
        ++sent;
        delivered += TakeAll(receiver, buffer);
        residentPeak = std::max(residentPeak, static_cast<long>(ResidentKiB()));
    }
    flooder.Stop();
    const auto stopped = std::chrono::steady_clock::now();
    delivered += TakeAll(receiver, buffer);
    double resumeMs = -1;
    while (resumeMs < 0 && std::chrono::steady_clock::now() - stopped < 5s) {
        peer.SendSample(sample, 1);
        if (receiver.WaitForFrame(50ms) && TakeAll(receiver, buffer) > 0)
            resumeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopped).count();
    }
    std::printf("%9u %4d %10llu %10llu %6zu %6zu %8ld %9.1f\n", rate, seconds,
                static_cast<unsigned long long>(flooder.Sent()),
                static_cast<unsigned long long>(receiver.ForeignPackets()), sent, delivered,
                residentPeak - residentBefore, resumeMs);
    return resumeMs >= 0 && resumeMs <= 1000 ? 0 : 1;
}
