#include "media/CaptureGraph.h"

#include "media/BinChildren.h"
#include "media/MediaKind.h"

namespace kestrel::media {

const char *PinCategoryName(PinCategory category)
{
    return category == PinCategory::Capture ? "Capture" : "Preview";
}

namespace {

bool OfType(GstPad *pad, StreamType type)
{
    GstMiniRef<GstCaps> caps(gst_pad_query_caps(pad, nullptr));
    if (caps && gst_caps_is_any(caps.get()))
        return true;
    const MediaKind kind = MediaKindOfCaps(caps.get());
    return type == StreamType::Video ? kind == MediaKind::Video : kind == MediaKind::Audio;
}

// The first src pad of `element` that is not linked.
GstRef<GstPad> FreeSrcPad(GstElement *element)
{
    for (auto &pad : PadsOf(element, GST_PAD_SRC))
        if (!gst_pad_is_linked(pad.get()))
            return std::move(pad);
    return nullptr;
}

} // namespace

HResult CCaptureStreamBuilder::ConnectOrRender(GstPad *out, GstElement *sink)
{
    if (!sink)
        return graph->Render(out);
    return graph->Connector().ConnectToElement(graph->Bin(), out, sink);
}

HResult CCaptureStreamBuilder::RenderStream(PinCategory category, StreamType type, GstElement *source,
                                            GstElement *intermediate, GstElement *sink)
{
    if (!graph || !graph->IsCreated())
        return result::Unexpected;
    if (!source)
        return result::Pointer;
    GstRef<GstPad> out;
    CMediaGraph::FindPin(source, PinCategoryName(category), out);
    if (!out || GST_PAD_DIRECTION(out.get()) != GST_PAD_SRC || gst_pad_is_linked(out.get()) ||
        !OfType(out.get(), type))
        return result::NotFound;
    if (!intermediate)
        return ConnectOrRender(out.get(), sink);

    const HResult first = graph->Connector().ConnectToElement(graph->Bin(), out.get(), intermediate);
    if (Failed(first))
        return first;
    GstRef<GstPad> onward = FreeSrcPad(intermediate);
    if (!onward)
        return result::CannotConnect;
    return ConnectOrRender(onward.get(), sink);
}

CCaptureGraph::~CCaptureGraph()
{
    CCaptureGraph::Release();
}

bool CCaptureGraph::Create()
{
    Release();
    builder = std::make_unique<CCaptureStreamBuilder>();
    if (!CMediaGraph::Create()) {
        builder.reset();
        return false;
    }
    builder->SetGraph(this);
    return builder->Graph() == this;
}

void CCaptureGraph::Release()
{
    CMediaGraph::Release();
    builder.reset();
}

HResult CCaptureGraph::RenderStream(PinCategory category, StreamType type, GstElement *source,
                                    GstElement *intermediate, GstElement *sink)
{
    if (!builder)
        return result::Unexpected;
    return builder->RenderStream(category, type, source, intermediate, sink);
}

} // namespace kestrel::media
