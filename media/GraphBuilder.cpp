#include "media/GraphBuilder.h"

#include "media/CaptureFilter.h"
#include "media/ElementCatalogue.h"
#include "media/IntelligentConnect.h"
#include "tideline/rtpconfig.h"

namespace kestrel::media {

using namespace filter_names;

namespace {

constexpr int kCallWidth = 176;
constexpr int kCallHeight = 144;

// Sets a string property when the element has it.
void SetIfPresent(GstElement *element, const char *property, const std::string &value)
{
    if (element && g_object_class_find_property(G_OBJECT_GET_CLASS(element), property))
        g_object_set(element, property, value.c_str(), nullptr);
}

GstRef<GstPad> StaticPad(GstElement *element, const char *name)
{
    return GstRef<GstPad>(element ? gst_element_get_static_pad(element, name) : nullptr);
}

// The first source pad of `element`, which decoders name as they like.
GstRef<GstPad> FirstSourcePad(GstElement *element)
{
    GstRef<GstPad> found;
    if (!element)
        return found;
    GstIterator *pads = gst_element_iterate_src_pads(element);
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
        found.reset(GST_PAD(g_value_dup_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pads);
    return found;
}

// The sink at the end of the chain that starts at `element`'s first source pad.
GstRef<GstElement> SinkDownstreamOf(GstElement *element)
{
    GstRef<GstElement> current = platform::RefObject(element);
    // Intelligent connect makes chains of at most a few elements.
    for (int step = 0; current && step < 8; ++step) {
        if (GST_OBJECT_FLAG_IS_SET(current.get(), GST_ELEMENT_FLAG_SINK))
            return current;
        GstRef<GstPad> out = FirstSourcePad(current.get());
        GstRef<GstPad> peer(out ? gst_pad_get_peer(out.get()) : nullptr);
        current.reset(peer ? gst_pad_get_parent_element(peer.get()) : nullptr);
    }
    return nullptr;
}

template <typename T> void SetIfPresent(GstElement *element, const char *property, T value)
{
    if (element && g_object_class_find_property(G_OBJECT_GET_CLASS(element), property))
        g_object_set(element, property, value, nullptr);
}

// An audio sink's defaults suit music: a 200 ms ring buffer, which it also
// reports as latency, and 20 ms for upstream to process each buffer. A call's
// audio arrives already placed on its timeline by "ACM Wrapper", and is only
// converted after that: a short ring buffer and deadline keep the voice's
// delay down.
constexpr gint64 kAudioSinkBufferUs = 40000;
constexpr gint64 kAudioSinkPeriodUs = 10000;
constexpr guint64 kAudioSinkDeadlineNs = 5 * GST_MSECOND;

void ConfigureCallAudioSink(GstElement *sink)
{
    SetIfPresent(sink, "buffer-time", kAudioSinkBufferUs);
    SetIfPresent(sink, "latency-time", kAudioSinkPeriodUs);
    SetIfPresent(sink, "processing-deadline", kAudioSinkDeadlineNs);
}

} // namespace

void FilterSlots::ReleaseCaptureSide()
{
    videoCapture.reset();
    audioCapture.reset();
    videoEncoder.reset();
    audioEncoder.reset();
    captureSink.reset();
    tee.reset();
}

void FilterSlots::ReleaseRenderSide()
{
    rtpSource.reset();
    videoDecoder.reset();
    audioDecoder.reset();
    remoteRenderer.reset();
}

CGraphBuilder::CGraphBuilder(Parts builderParts) : parts(std::move(builderParts)) {}

CGraphBuilder::~CGraphBuilder()
{
    DetachVideoWindow();
    captureGraph.ClearGraph();
    renderGraph.ClearGraph();
    filterSlots.ReleaseCaptureSide();
    filterSlots.ReleaseRenderSide();
    renderGraph.Release();
    captureGraph.Release();
}

CGraphBuilder::Creation CGraphBuilder::Create()
{
    if (!captureGraph.Create())
        return Creation::CaptureGraphFailed;
    if (!renderGraph.Create())
        return Creation::RenderGraphFailed;
    LoadCallElements();
    return Creation::Created;
}

void CGraphBuilder::LoadCallElements()
{
    // Making each element once loads its plugin and those of the elements
    // inside it (the decoders' libav above all, a tenth of a second), which
    // would otherwise delay the first picture of the first call. Likewise the
    // audio sinks intelligent connect tries, up to the first that opens: the
    // first try of each loads its sound system's libraries.
    auto make = [](GstElementFactory *factory) {
        GstElement *element = factory ? gst_element_factory_create(factory, nullptr) : nullptr;
        return GstRef<GstElement>(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
    };
    for (const char *name : {kRtpSource, kVideoDecoder, kAudioDecoder, kOverlayRenderer, kVideoEncoder, kAudioEncoder,
                             kRtpRender})
        make(CElementCatalogue::FindByLongName(name).get());
    for (const auto &factory : CElementCatalogue::Renderers(MediaKind::Audio)) {
        GstRef<GstElement> sink = make(factory.get());
        if (sink && CIntelligentConnect::SinkReachesReady(sink.get()))
            break;
    }
}

bool CGraphBuilder::IsCaptureRunning()
{
    CMediaGraph::State state = CMediaGraph::State::Stopped;
    captureGraph.GetState(std::chrono::milliseconds(0), state);
    return state == CMediaGraph::State::Running;
}

void CGraphBuilder::ClearCaptureGraph()
{
    captureGraph.Stop();
    captureGraph.ClearGraph();
    filterSlots.ReleaseCaptureSide();
}

void CGraphBuilder::ClearRenderGraph()
{
    if (filterSlots.remoteRenderer && parts.remoteRendererChanged)
        parts.remoteRendererChanged(nullptr);
    renderGraph.Stop();
    renderGraph.ClearGraph();
    filterSlots.ReleaseRenderSide();
}

bool CGraphBuilder::AddVideoCapture()
{
    if (filterSlots.videoCapture)
        return true;
    if (!parts.pages.ChosenCamera() && parts.pages.ChooseDefaultVideoDevice() != 0)
        return false; // no camera
    const auto camera = parts.pages.ChosenCamera();
    GstElement *filter = camera ? CreateCaptureFilter(*camera) : nullptr;
    if (!filter)
        return false;
    filterSlots.videoCapture = platform::RefObject(filter);
    captureGraph.AddFilter(filter);
    return true;
}

bool CGraphBuilder::AddAudioCapture()
{
    if (filterSlots.audioCapture)
        return true;
    if (!parts.pages.ChosenMicrophone() && parts.pages.ChooseDefaultAudioDevice() != 0)
        return false; // no microphone
    const auto microphone = parts.pages.ChosenMicrophone();
    GstElement *filter = microphone ? CreateCaptureFilter(*microphone) : nullptr;
    if (!filter)
        return false;
    filterSlots.audioCapture = platform::RefObject(filter);
    captureGraph.AddFilter(filter);
    return true;
}

void CGraphBuilder::RemoveDefaultRenderer(CMediaGraph &graph)
{
    if (auto renderer = graph.FindFilterByName(kVideoRenderer))
        graph.RemoveFilter(renderer.get());
}

bool CGraphBuilder::StartPreview()
{
    if (!AddVideoCapture())
        return false;
    int width = kCallWidth;
    int height = kCallHeight;
    parts.pages.GetVideoSize(width, height);
    SetCaptureSize(filterSlots.videoCapture.get(), width, height);
    captureGraph.FillRegisteredFilter(kOverlayRenderer, filterSlots.captureSink);
    if (!filterSlots.captureSink) {
        ClearCaptureGraph(); // nothing could show the picture
        return false;
    }
    if (Failed(captureGraph.RenderStream(PinCategory::Preview, StreamType::Video, filterSlots.videoCapture.get(), nullptr,
                                         filterSlots.captureSink.get()))) {
        // No preview pad: the Smart Tee's preview output feeds the renderer
        // and its capture output stays open. The pads are linked by name:
        // intelligent connect would link the camera to the renderer directly.
        captureGraph.AddRegisteredFilter(kSmartTee, filterSlots.tee);
        const bool linked =
            filterSlots.tee ? Succeeded(captureGraph.ConnectPins(filterSlots.videoCapture.get(), "Capture", filterSlots.tee.get(), "Input")) &&
                            Succeeded(captureGraph.ConnectPins(filterSlots.tee.get(), "Preview", filterSlots.captureSink.get(), "Input"))
                      : Succeeded(captureGraph.RenderStream(PinCategory::Capture, StreamType::Video,
                                                            filterSlots.videoCapture.get(), nullptr, filterSlots.captureSink.get()));
        if (!linked) {
            ClearCaptureGraph();
            return false;
        }
        RemoveDefaultRenderer(captureGraph);
    }
    AttachVideoWindow(call::GraphKind::Capture);
    if (Failed(captureGraph.Run())) {
        StopPreview();
        return false;
    }
    return true;
}

void CGraphBuilder::StopPreview()
{
    ClearCaptureGraph();
}

bool CGraphBuilder::StartCallMedia(const std::string &peerAddress, int peerMask)
{
    ClearCaptureGraph();
    ClearRenderGraph();
    statistics.Reset();
    callMediaRunning = true;

    if (peerMask == 1 || peerMask == 3)
        BuildVideoReceiveChain();
    if (peerMask == 2 || peerMask == 3)
        BuildAudioReceiveChain();
    SetIfPresent(filterSlots.rtpSource.get(), "peer-address", peerAddress); // media from the peer of the call only
    AttachVideoWindow(call::GraphKind::Render);
    renderGraph.Run();

    if (parts.pages.VideoEnabled()) {
        if (!AddVideoCapture())
            return false; // nothing is sent; the received media go on
        parts.pages.SetVideoSize(kCallWidth, kCallHeight); // a call always sends QCIF
        SetCaptureSize(filterSlots.videoCapture.get(), kCallWidth, kCallHeight);
        if (parts.updateViews)
            parts.updateViews();
        captureGraph.FillRegisteredFilter(kVideoEncoder, filterSlots.videoEncoder);
        captureGraph.FillRegisteredFilter(kRtpRender, filterSlots.captureSink);
        captureGraph.RenderStream(PinCategory::Capture, StreamType::Video, filterSlots.videoCapture.get(),
                                  filterSlots.videoEncoder.get(), filterSlots.captureSink.get());
        RemoveDefaultRenderer(captureGraph);
    }
    if (parts.pages.AudioEnabled()) {
        if (!AddAudioCapture()) {
            ClearCaptureGraph();
            return false;
        }
        SuggestAudioBuffer(filterSlots.audioCapture.get());
        captureGraph.FillRegisteredFilter(kAudioEncoder, filterSlots.audioEncoder);
        captureGraph.FillRegisteredFilter(kRtpRender, filterSlots.captureSink);
        captureGraph.RenderPin(filterSlots.audioCapture.get(), "Capture");
    }
    if (!filterSlots.captureSink)
        return true; // nothing to send (the pages changed since the mask was given)
    tideline_rtp_render_config_set_destination(filterSlots.captureSink.get(), peerAddress.c_str(), kMediaPort);
    SetIfPresent(filterSlots.captureSink.get(), "bind-address", parts.bindAddress);
    statistics.WatchSender(StaticPad(filterSlots.captureSink.get(), "Video Transport").get(),
                           StaticPad(filterSlots.captureSink.get(), "Audio Transport").get());
    captureGraph.Run();
    return true;
}

void CGraphBuilder::BuildVideoReceiveChain()
{
    renderGraph.FillRegisteredFilter(kRtpSource, filterSlots.rtpSource);
    renderGraph.FillRegisteredFilter(kVideoDecoder, filterSlots.videoDecoder);
    renderGraph.FillRegisteredFilter(kOverlayRenderer, filterSlots.remoteRenderer);
    renderGraph.RenderPin(filterSlots.rtpSource.get(), "Video Transport");
    ConfigureSource();
    statistics.WatchRenderer(filterSlots.remoteRenderer.get());
    if (filterSlots.remoteRenderer && parts.remoteRendererChanged)
        parts.remoteRendererChanged(filterSlots.remoteRenderer.get());
}

void CGraphBuilder::BuildAudioReceiveChain()
{
    renderGraph.FillRegisteredFilter(kRtpSource, filterSlots.rtpSource);
    renderGraph.FillRegisteredFilter(kAudioDecoder, filterSlots.audioDecoder);
    renderGraph.RenderPin(filterSlots.rtpSource.get(), "Audio Transport");
    ConfigureCallAudioSink(SinkDownstreamOf(filterSlots.audioDecoder.get()).get());
    ConfigureSource();
    statistics.WatchDecodedAudio(FirstSourcePad(filterSlots.audioDecoder.get()).get());
}

void CGraphBuilder::ConfigureSource()
{
    if (!filterSlots.rtpSource)
        return;
    tideline_rtp_source_config_set_port(filterSlots.rtpSource.get(), kMediaPort);
    SetIfPresent(filterSlots.rtpSource.get(), "bind-address", parts.bindAddress);
}

void CGraphBuilder::StopMedia()
{
    callMediaRunning = false;
    ClearCaptureGraph();
    ClearRenderGraph();
    AttachVideoWindow(call::GraphKind::Capture); // the empty capture graph: the control shows no video
}

void CGraphBuilder::StopGraphs()
{
    captureGraph.Stop();
    renderGraph.Stop();
}

void CGraphBuilder::AttachVideoWindow(call::GraphKind graph)
{
    DetachVideoWindow();
    videoWindow = QueryVideoWindow(graph == call::GraphKind::Capture ? static_cast<CMediaGraph &>(captureGraph)
                                                                     : renderGraph);
    if (!videoWindow)
        return;
    videoWindow->SetOwner(&parts.videoHost);
    videoWindow->SetWindowPosition(0, 0, 0, 0); // the whole of the host
    videoWindow->SetVisible(true);
}

void CGraphBuilder::DetachVideoWindow()
{
    if (!videoWindow)
        return;
    videoWindow->SetVisible(false);
    videoWindow->SetOwner(nullptr);
    videoWindow.reset();
}

void CGraphBuilder::ShowEncoderSettings()
{
    auto encoder = captureGraph.FindFilterByName(kVideoEncoder);
    if (encoder && parts.showPages)
        parts.showPages(encoder.get(), "Encoder", 1);
}

void CGraphBuilder::GetCaptureSize(int &width, int &height)
{
    parts.pages.GetVideoSize(width, height);
}

} // namespace kestrel::media
