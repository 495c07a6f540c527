#include "media/crossbar/CrossbarRouter.h"

#include <algorithm>
#include <cstring>

namespace kestrel::media::crossbar {

namespace {

struct ConnectorEntry {
    int type;
    const char *name;
};

constexpr ConnectorEntry kConnectorNames[] = {
    {connector::VideoTuner, "Video Tuner"},
    {connector::VideoComposite, "Video Composite"},
    {connector::VideoSVideo, "Video SVideo"},
    {connector::VideoRgb, "Video RGB"},
    {connector::VideoYRYBY, "Video YRYBY"},
    {connector::VideoSerialDigital, "Video SerialDigital"},
    {connector::VideoParallelDigital, "Video ParallelDigital"},
    {connector::VideoScsi, "Video SCSI"},
    {connector::VideoAux, "Video AUX"},
    {connector::Video1394, "Video 1394"},
    {connector::VideoUsb, "Video USB"},
    {connector::VideoDecoder, "Video Decoder"},
    {connector::VideoEncoder, "Video Encoder"},
    {connector::AudioTuner, "Audio Tuner"},
    {connector::AudioLine, "Audio Line"},
    {connector::AudioMic, "Audio Mic"},
    {connector::AudioAesDigital, "Audio AESDigital"},
    {connector::AudioSpdifDigital, "Audio SPDIFDigital"},
    {connector::AudioScsi, "Audio SCSI"},
    {connector::AudioAux, "Audio AUX"},
    {connector::Audio1394, "Audio 1394"},
    {connector::AudioUsb, "Audio USB"},
    {connector::AudioDecoder, "Audio Decoder"},
};

// At the first crossbar a missing one is a failure; further upstream it
// only means the path ends at a physical connector.
HResult EndOfPath(int depth)
{
    return depth == 0 ? result::Fail : result::False;
}

} // namespace

const char *ConnectorName(int physicalType)
{
    for (const ConnectorEntry &entry : kConnectorNames)
        if (entry.type == physicalType)
            return entry.name;
    return "Unknown";
}

CCrossbarRouter::CCrossbarRouter(const PinConnection &start, HResult &result)
{
    std::vector<CrossbarHop> path;
    result = FindRoutes(start, path, 0);
}

HResult CCrossbarRouter::FindRoutes(const PinConnection &pin, std::vector<CrossbarHop> &path, int depth)
{
    if (depth >= kMaxChain)
        return result::Fail;
    if (pin.upstream == PinConnection::Upstream::Nothing)
        return EndOfPath(depth);
    if (pin.upstream != PinConnection::Upstream::Crossbar || !pin.crossbar)
        return EndOfPath(depth);

    ICrossbar &crossbar = *pin.crossbar;
    int outputs = 0;
    int inputs = 0;
    if (Failed(crossbar.GetPinCounts(outputs, inputs)))
        return result::Fail;
    const int outIndex = pin.outputIndex;
    int relatedOut = -1;
    int outputType = 0;
    if (Failed(crossbar.GetCrossbarPinInfo(PinDirection::Output, outIndex, relatedOut, outputType)))
        return result::Fail;

    for (int i = 0; i < inputs; ++i) {
        int relatedIn = -1;
        int inputType = 0;
        if (Failed(crossbar.GetCrossbarPinInfo(PinDirection::Input, i, relatedIn, inputType)))
            continue;
        if (inputType >= connector::kFirstAudio || crossbar.CanRoute(outIndex, i) != result::Ok)
            continue;
        path.resize(depth + 1);
        CrossbarHop &hop = path[depth];
        hop.routedIn = i;
        hop.routedOut = outIndex;
        hop.relatedIn = relatedIn;
        hop.relatedOut = relatedOut;
        hop.crossbar = pin.crossbar;
        hop.inputType = inputType;
        hop.outputType = outputType;
        hop.depth = depth;
        // S_FALSE: input i is a physical connector. S_OK: the deeper call has
        // stored the routes through the crossbar upstream of it.
        if (FindRoutes(crossbar.InputConnection(i), path, depth + 1) == result::False)
            StoreRoute(path);
        path.resize(depth + 1);
    }
    return result::Ok;
}

void CCrossbarRouter::StoreRoute(const std::vector<CrossbarHop> &path)
{
    // The path runs from the capture device upstream; a route from the connector down.
    routes.emplace_back(path.rbegin(), path.rend());
}

const CrossbarRoute *CCrossbarRouter::RouteAt(int index) const
{
    if (index >= CountInputs() || routes.empty())
        return nullptr;
    return &routes[static_cast<std::size_t>(std::max(index, 0))];
}

HResult CCrossbarRouter::DescribeInput(int index, char *text, std::size_t maxLength) const
{
    const CrossbarRoute *route = RouteAt(index);
    if (!route || !text || maxLength == 0)
        return result::Fail;
    const char *name = ConnectorName(route->front().inputType);
    const std::size_t length = std::min(std::strlen(name), maxLength - 1);
    std::memcpy(text, name, length);
    text[length] = '\0';
    return result::Ok;
}

HResult CCrossbarRouter::RouteInput(int index)
{
    const CrossbarRoute *route = RouteAt(index);
    if (!route)
        return result::Fail;
    HResult routed = result::Fail;
    for (const CrossbarHop &hop : *route) {
        routed = hop.crossbar->Route(hop.routedOut, hop.routedIn);
        if (hop.relatedOut != -1 && hop.relatedIn != -1)
            hop.crossbar->Route(hop.relatedOut, hop.relatedIn);
    }
    return routed;
}

} // namespace kestrel::media::crossbar
