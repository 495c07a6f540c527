#pragma once

#include "call/IMediaSeam.h"
#include "media/CallStatistics.h"
#include "media/CaptureGraph.h"
#include "media/CapturePages.h"
#include "media/DeviceList.h"
#include "media/MediaGraph.h"
#include "media/VideoWindow.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrel::media {

// Long names of the elements the graphs are built from.
namespace filter_names {
inline constexpr const char *kVideoEncoder = "H263 Encode Filter";
inline constexpr const char *kVideoDecoder = "H263 Decode Filter";
inline constexpr const char *kAudioEncoder = "DSP Group TrueSpeech(TM)";
inline constexpr const char *kAudioDecoder = "ACM Wrapper";
inline constexpr const char *kSmartTee = "Smart Tee";
inline constexpr const char *kVideoRenderer = "Video Renderer";
inline constexpr const char *kOverlayRenderer = "ORVA Video3D Renderer";
inline constexpr const char *kRtpSource = "ORVA RTP Source Filter";
inline constexpr const char *kRtpRender = "ORVA RTP Render Filter";
} // namespace filter_names

// The one media port: video travels to 6060 and audio to 6058.
inline constexpr int kMediaPort = 6060;

// The elements the graphs are built from, each empty or held once. The
// capture side is the first six, the render side the last four.
struct FilterSlots {
    GstRef<GstElement> videoCapture;
    GstRef<GstElement> audioCapture;
    GstRef<GstElement> videoEncoder;
    GstRef<GstElement> audioEncoder;
    GstRef<GstElement> captureSink; // the preview renderer, or the RTP sender during a call
    GstRef<GstElement> tee;
    GstRef<GstElement> rtpSource;
    GstRef<GstElement> videoDecoder;
    GstRef<GstElement> audioDecoder;
    GstRef<GstElement> remoteRenderer;

    void ReleaseCaptureSide();
    void ReleaseRenderSide();
};

// Builds, runs and tears down the document's two graphs: the preview, the
// call's sending side in the capture graph, and its receiving side in the
// render graph; shows their video in the view's video control.
//
//   preview:  camera "Capture" -> Smart Tee "Input"; "Preview" -> "ORVA Video3D Renderer" "Input"
//             (straight to the renderer when the camera has a "Preview" pad)
//   send:     camera "Capture" (176 x 144) -> "H263 Encode Filter" -> "ORVA RTP Render Filter"
//             microphone "Capture" (4000-byte buffers) -> "DSP Group TrueSpeech(TM)" -> the same sender
//   receive:  "ORVA RTP Source Filter" "Video Transport" -> "H263 Decode Filter" -> "ORVA Video3D Renderer"
//             "Audio Transport" -> "ACM Wrapper" -> an audio sink
//
// Threads: user-interface thread; the graphs stream on threads of their own
// and never call back into it (the statistics count on them).
class CGraphBuilder final : public call::IMediaSeam {
public:
    enum class Creation { Created, CaptureGraphFailed, RenderGraphFailed };
    using ShowPages = std::function<void(GstElement *filter, const std::string &caption, int pageLimit)>;

    struct Parts {
        ICapturePages &pages;   // what is sent, the capture size, the chosen camera and microphone
        IVideoHost &videoHost;  // the view's video control
        ShowPages showPages;    // a modal frame with a filter's property pages
        std::function<void()> updateViews; // the capture size changed: the view lays itself out again
        std::string bindAddress = "0.0.0.0"; // the local address the media use
        // The call's "ORVA Video3D Renderer" once the video receive chain is
        // built (before the render graph runs, so no frame is missed), and
        // null before that renderer leaves the render graph.
        std::function<void(GstElement *renderer)> remoteRendererChanged = nullptr;
    };

    explicit CGraphBuilder(Parts parts);
    ~CGraphBuilder() override;
    CGraphBuilder(const CGraphBuilder &) = delete;
    CGraphBuilder &operator=(const CGraphBuilder &) = delete;

    // Makes the capture graph, then the render graph, and loads what a call's
    // graphs are made of.
    Creation Create();

    // call::IMediaSeam
    bool IsCaptureRunning() override;
    bool StartPreview() override;
    void StopPreview() override;
    bool StartCallMedia(const std::string &peerAddress, int peerMask) override;
    void StopMedia() override;
    void StopGraphs() override;
    void AttachVideoWindow(call::GraphKind graph) override;
    void DetachVideoWindow() override;
    void ShowEncoderSettings() override;
    void GetCaptureSize(int &width, int &height) override;

    CCaptureGraph &CaptureGraph() { return captureGraph; }
    CMediaGraph &RenderGraph() { return renderGraph; }
    const FilterSlots &Slots() const { return filterSlots; }
    const CCallStatistics &Statistics() const { return statistics; }
    bool HasVideoWindow() const { return videoWindow != nullptr; }
    // True from a call's media start until they stop.
    bool CallMediaRunning() const { return callMediaRunning; }

private:
    void LoadCallElements();
    bool AddVideoCapture();
    bool AddAudioCapture();
    void ClearCaptureGraph();
    void ClearRenderGraph();
    void BuildVideoReceiveChain();
    void BuildAudioReceiveChain();
    void ConfigureSource();
    void RemoveDefaultRenderer(CMediaGraph &graph);

    Parts parts;
    CCallStatistics statistics; // before the graphs, whose probes point at it
    CCaptureGraph captureGraph;
    CMediaGraph renderGraph;
    FilterSlots filterSlots;
    std::unique_ptr<IVideoWindow> videoWindow;
    bool callMediaRunning = false;
};

} // namespace kestrel::media
