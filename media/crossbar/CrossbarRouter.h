#pragma once

#include "media/crossbar/Crossbar.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrel::media::crossbar {

// One crossbar's part of a route.
struct CrossbarHop {
    int routedIn = 0;    // the input pin that carries the route
    int routedOut = 0;   // the output pin that carries the route
    int relatedIn = -1;  // the input that goes with routedIn (its audio), -1 for none
    int relatedOut = -1; // the output that goes with routedOut, -1 for none
    std::shared_ptr<ICrossbar> crossbar;
    int inputType = 0;  // physical type of routedIn
    int outputType = 0; // physical type of routedOut
    int depth = 0;      // 0 next to the capture device, one more per crossbar upstream
};

// A route from the upstream end: element 0's routedIn is the physical
// connector, the last element is the crossbar next to the capture device.
// Each hop keeps its crossbar alive, so a route can be switched after the
// search that found it is over.
using CrossbarRoute = std::vector<CrossbarHop>;

// The name of a physical connector type: "Video Composite", "Audio Line", ...,
// "Unknown" for a type outside the table.
const char *ConnectorName(int physicalType);

// The inputs of a capture device: every path by which video can reach the
// device from a physical connector, through any chain of crossbars, in the
// order they are found. Each input is named by its physical connector, and
// routing one switches every crossbar on its path, the upstream one first,
// together with the audio that goes with it. Audio connectors are never
// inputs of their own.
//
// Threads: user-interface thread.
class CCrossbarRouter {
public:
    // Longest chain of crossbars searched; a deeper chain (or a loop of
    // crossbars) yields no route through it.
    static constexpr int kMaxChain = 16;

    // Searches from the capture device's analog video input, which is
    // connected to `start`. `result` fails when that is not a crossbar; the
    // router then has no inputs.
    CCrossbarRouter(const PinConnection &start, HResult &result);

    int CountInputs() const { return static_cast<int>(routes.size()); }
    // Writes the name of the input's connector into `text`, at most
    // `maxLength` characters with the terminator (cut to fit). An index below
    // 0 names the first input. Fail for an index past the inputs, no text,
    // or a length of 0 (nothing is written then).
    HResult DescribeInput(int index, char *text, std::size_t maxLength) const;
    // Switches every crossbar of the input's route, upstream first, and the
    // related audio pair of each where both pins have one. An index below 0
    // routes the first input. The result is that of the last video switch.
    HResult RouteInput(int index);

    const std::vector<CrossbarRoute> &Routes() const { return routes; }

private:
    // `path[d]` is the hop at depth d of the route being followed.
    HResult FindRoutes(const PinConnection &pin, std::vector<CrossbarHop> &path, int depth);
    void StoreRoute(const std::vector<CrossbarHop> &path);
    const CrossbarRoute *RouteAt(int index) const;

    std::vector<CrossbarRoute> routes;
};

} // namespace kestrel::media::crossbar
