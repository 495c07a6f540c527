#pragma once

#include "platform/gst/GstRef.h"

#include <memory>
#include <string>

namespace kestrel::media {

class CMediaGraph;

// The long name of the renderer whose frames the view shows.
inline constexpr const char *kVideo3DRendererName = "ORVA Video3D Renderer";
// The renderer's signal: (GstElement *renderer, GstSample *frame), emitted
// on its streaming thread for every frame it shows (BGRx).
inline constexpr const char *kFrameShownSignal = "frame-shown";

// Where a video window is shown: the view's video control. The Qt widget
// CVideoHostWidget implements it.
//
// Threads: user-interface thread.
class IVideoHost {
public:
    virtual ~IVideoHost() = default;
    // Shows the frames `renderer` announces; null detaches, after which the
    // host shows only its background.
    virtual void AttachRenderer(GstElement *renderer) = 0;
    virtual void SetVideoVisible(bool visible) = 0;
    // The video's place inside the host; an empty rectangle fills the host.
    virtual void SetVideoRect(int x, int y, int width, int height) = 0;
};

// A renderer's window, hosted by the view: owner, visibility and position.
// (The child window style of the original needs no counterpart: a hosted
// video is always drawn inside its owner.)
//
// Threads: user-interface thread.
class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    // Moves the video to `host` (null: no owner). The previous owner is
    // detached first.
    virtual void SetOwner(IVideoHost *host) = 0;
    virtual IVideoHost *Owner() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetWindowPosition(int x, int y, int width, int height) = 0;
};

// The video window of the graph's renderer named `rendererName` (its
// factory's long name), or null when the graph holds none.
std::unique_ptr<IVideoWindow> QueryVideoWindow(const CMediaGraph &graph,
                                               const std::string &rendererName = kVideo3DRendererName);

} // namespace kestrel::media
