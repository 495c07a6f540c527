#pragma once

#include "media/MediaResult.h"

#include <gst/gst.h>

#include <functional>
#include <string>

namespace kestrel::media {

// What intelligent connect may choose. The defaults are the program's; tests
// replace the renderer name and the device probe.
struct ConnectPolicy {
    // The element (by long name) every video stream without another place to
    // go is rendered to; a stock video sink when none is registered.
    std::string videoRendererName = "Video Renderer";
    // Whether a freshly made sink can open its device. The default takes the
    // sink to READY and back; a sound card or display that is missing fails.
    std::function<bool(GstElement *sink)> sinkOpens;
    // Longest chain of elements between the two ends.
    int maxChainLength = 5;
};

// Links pads the way the filter graph's intelligent connect did, before the
// pipeline runs (caps come from pad queries and templates):
//  1. straight to the goal, when the caps allow;
//  2. through a free sink pad (always or request) of an element already in
//     the graph that is neither the pad's own element nor upstream of it,
//     oldest element first;
//  3. for Render only: straight to the default renderer for the stream's kind
//     (video: the element named `videoRendererName`, else the first stock
//     video sink that opens; audio: the first audio sink that opens; finally
//     a sink that only consumes, so a missing device never fails a graph);
//  4. through a decoder, parser or converter from the registry (rank marginal
//     or more, highest rank first, then by name), after which the search goes
//     on from that element's src pad. A factory is used at most once per
//     chain and chains are at most `maxChainLength` long.
// A branch that fails is undone: what it linked is unlinked, what it inserted
// is removed. Inserted elements are named by their factories' long names (the
// video renderer "Video Renderer"), made unique as the graph did (" 0001").
//
// Threads: user-interface thread, on stopped graphs.
class CIntelligentConnect {
public:
    explicit CIntelligentConnect(ConnectPolicy policy = {});

    // Links `out` to `in`. AlreadyConnected when either is linked,
    // CannotConnect when no chain is found.
    HResult Connect(GstBin *graph, GstPad *out, GstPad *in);
    // Links `out` to any free sink pad of `target`.
    HResult ConnectToElement(GstBin *graph, GstPad *out, GstElement *target);
    // Links `out` onwards until every branch ends in a sink. CannotRender
    // when that is impossible.
    HResult Render(GstBin *graph, GstPad *out);

    const ConnectPolicy &Policy() const { return policy; }
    void SetPolicy(ConnectPolicy replacement);

    // The default device probe: READY reached and left again.
    static bool SinkReachesReady(GstElement *sink);

private:
    ConnectPolicy policy;
};

} // namespace kestrel::media
