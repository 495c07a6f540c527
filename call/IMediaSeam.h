#pragma once

#include <string>

namespace kestrel::call {

// The two media graphs of a call.
enum class GraphKind {
    Capture, // the local camera and microphone: preview, or encode and send during a call
    Render,  // the network receiver: decode and show or play the peer's media
};

// What the document needs of the media graphs. The graph builder implements
// it; the document's commands decide when each step runs.
//
// Threads: user-interface thread only.
class IMediaSeam {
public:
    virtual ~IMediaSeam() = default;

    // True while the capture graph runs (a preview or a call's sending side).
    virtual bool IsCaptureRunning() = 0;
    // Builds and runs the local preview (camera to the view's video control).
    // True when it runs; false leaves the capture graph empty and stopped.
    virtual bool StartPreview() = 0;
    // Stops the capture graph, empties it and releases its elements.
    virtual void StopPreview() = 0;

    // Builds and runs both graphs for a call with `peerAddress` (dotted
    // IPv4): receive what `peerMask` says the peer sends (1 video, 2 audio),
    // send what this side's pages enable. False when a local device was
    // missing (the received media still play).
    virtual bool StartCallMedia(const std::string &peerAddress, int peerMask) = 0;
    // Stops and empties both graphs, then gives the (empty) capture graph's
    // video to the view's control again.
    virtual void StopMedia() = 0;
    // Stops both graphs when the document closes (before DetachVideoWindow).
    virtual void StopGraphs() = 0;

    // Shows `graph`'s video in the view's video control.
    virtual void AttachVideoWindow(GraphKind graph) = 0;
    virtual void DetachVideoWindow() = 0;

    // The encoder's settings page, while a call sends video; otherwise nothing.
    virtual void ShowEncoderSettings() = 0;

    // The Video page's current capture size (176 x 144 or 352 x 288).
    virtual void GetCaptureSize(int &width, int &height) = 0;
};

} // namespace kestrel::call
