#pragma once

#include "media/MediaGraph.h"

#include <memory>

namespace kestrel::media {

// The source pad a stream is taken from, by its exact name.
enum class PinCategory {
    Capture, // "Capture"
    Preview, // "Preview"
};
// The kind of stream RenderStream looks for on that pad.
enum class StreamType { Video, Audio };

const char *PinCategoryName(PinCategory category);

// Builds capture streams into a graph it is given, as the capture graph
// builder did: from a source's "Capture" or "Preview" pad through an
// optional intermediate element to a sink element or, without one, to the
// default renderer, letting intelligent connect insert what is needed.
//
// Threads: user-interface thread.
class CCaptureStreamBuilder {
public:
    void SetGraph(CMediaGraph *target) { graph = target; }
    CMediaGraph *Graph() const { return graph; }

    // NotFound when `source` has no free pad of that exact name whose caps
    // are of that type (ANY counts as either); Unexpected without a graph;
    // otherwise the result of the last link made.
    HResult RenderStream(PinCategory category, StreamType type, GstElement *source, GstElement *intermediate,
                         GstElement *sink);

private:
    HResult ConnectOrRender(GstPad *out, GstElement *sink);
    CMediaGraph *graph = nullptr;
};

// A CMediaGraph with the capture stream builder.
class CCaptureGraph : public CMediaGraph {
public:
    using CMediaGraph::CMediaGraph;
    ~CCaptureGraph() override;

    // Makes the builder, then the graph; the builder is let go again when the
    // graph fails. Then the builder is given the graph.
    bool Create() override;
    // The graph's members, then the builder.
    void Release() override;

    CCaptureStreamBuilder *Builder() const { return builder.get(); }
    // The builder's RenderStream; Unexpected before Create.
    HResult RenderStream(PinCategory category, StreamType type, GstElement *source, GstElement *intermediate,
                         GstElement *sink);

private:
    std::unique_ptr<CCaptureStreamBuilder> builder;
};

} // namespace kestrel::media
