#include "media/MediaGraph.h"

#include "media/BinChildren.h"
#include "media/ElementCatalogue.h"

#include <utility>

namespace kestrel::media {

using platform::RefObject;

CMediaGraph::CMediaGraph() : CMediaGraph([] { return gst_pipeline_new(nullptr); }) {}

CMediaGraph::CMediaGraph(PipelineMaker maker) : makePipeline(std::move(maker)) {}

CMediaGraph::~CMediaGraph()
{
    CMediaGraph::Release();
}

bool CMediaGraph::Create()
{
    CMediaGraph::Release();
    GstElement *pipeline = makePipeline ? makePipeline() : nullptr;
    if (!pipeline)
        return false;
    graph.reset(GST_ELEMENT(gst_object_ref_sink(pipeline)));
    events.reset(gst_element_get_bus(graph.get()));
    if (!events)
        return false;
    gst_bus_set_sync_handler(events.get(), &CMediaGraph::OnBusMessage, new std::shared_ptr<EventRelay>(relay),
                             [](gpointer data) { delete static_cast<std::shared_ptr<EventRelay> *>(data); });
    return true;
}

void CMediaGraph::Release()
{
    if (events) {
        gst_bus_set_sync_handler(events.get(), nullptr, nullptr, nullptr);
        gst_bus_set_flushing(events.get(), TRUE); // drops what is pending
        events.reset();
    }
    if (graph) {
        gst_element_set_state(graph.get(), GST_STATE_NULL);
        graph.reset();
    }
}

GstBusSyncReply CMediaGraph::OnBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    EventRelay &target = **static_cast<std::shared_ptr<EventRelay> *>(data);
    std::lock_guard lock(target.notifyLock);
    if (!target.notify) {
        // A sync handler that drops a message owns it: messages hold their
        // sources, so one kept would keep its element alive for good.
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
    target.notify();
    return GST_BUS_PASS;
}

void CMediaGraph::SetNotify(EventNotify replacement)
{
    std::lock_guard lock(relay->notifyLock);
    relay->notify = std::move(replacement);
}

GstMiniRef<GstMessage> CMediaGraph::TakeEvent()
{
    if (!events)
        return nullptr;
    return GstMiniRef<GstMessage>(gst_bus_pop(events.get()));
}

HResult CMediaGraph::SetState(GstState state)
{
    if (!graph)
        return result::Unexpected;
    switch (gst_element_set_state(graph.get(), state)) {
    case GST_STATE_CHANGE_FAILURE:
        return result::Fail;
    case GST_STATE_CHANGE_ASYNC:
        return result::False; // like the filter graph: not all filters are there yet
    default:
        return result::Ok;
    }
}

HResult CMediaGraph::Run()
{
    return SetState(GST_STATE_PLAYING);
}

HResult CMediaGraph::Pause()
{
    return SetState(GST_STATE_PAUSED);
}

HResult CMediaGraph::Stop()
{
    return SetState(GST_STATE_NULL);
}

HResult CMediaGraph::GetState(std::chrono::milliseconds timeout, State &state) const
{
    state = State::Stopped;
    if (!graph)
        return result::Unexpected;
    GstState current = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstClockTime wait = timeout.count() <= 0 ? 0 : GstClockTime(timeout.count()) * GST_MSECOND;
    const GstStateChangeReturn change = gst_element_get_state(graph.get(), &current, &pending, wait);
    const GstState shown = pending != GST_STATE_VOID_PENDING ? pending : current;
    state = shown == GST_STATE_PLAYING ? State::Running : shown == GST_STATE_PAUSED ? State::Paused : State::Stopped;
    if (change == GST_STATE_CHANGE_FAILURE)
        return result::Fail;
    return change == GST_STATE_CHANGE_ASYNC ? result::StateIntermediate : result::Ok;
}

HResult CMediaGraph::AddRegisteredFilter(const std::string &name, GstRef<GstElement> &slot)
{
    if (!graph)
        return result::Ok;
    GstRef<GstElementFactory> factory = CElementCatalogue::FindByLongName(name);
    if (!factory)
        return result::Ok;
    GstElement *element = gst_element_factory_create(factory.get(), UniqueChildName(Bin(), name).c_str());
    if (!element)
        return result::Ok;
    GstRef<GstElement> held(GST_ELEMENT(gst_object_ref_sink(element)));
    if (gst_bin_add(Bin(), held.get()))
        slot = std::move(held);
    return result::Ok;
}

HResult CMediaGraph::FillRegisteredFilter(const std::string &name, GstRef<GstElement> &slot)
{
    return slot ? result::Ok : AddRegisteredFilter(name, slot);
}

HResult CMediaGraph::FindPin(GstElement *filter, const std::string &pinName, GstRef<GstPad> &pin)
{
    pin.reset();
    if (!filter)
        return result::Pointer;
    GstIterator *iterator = gst_element_iterate_pads(filter);
    HResult outcome = result::Ok;
    GValue item = G_VALUE_INIT;
    for (bool done = false; !done;) {
        switch (gst_iterator_next(iterator, &item)) {
        case GST_ITERATOR_OK: {
            auto *pad = GST_PAD(g_value_get_object(&item));
            if (!pin && pinName == GST_OBJECT_NAME(pad))
                pin = RefObject(pad);
            g_value_reset(&item);
            break;
        }
        case GST_ITERATOR_RESYNC:
            pin.reset();
            gst_iterator_resync(iterator);
            break;
        case GST_ITERATOR_ERROR:
            outcome = result::Fail;
            done = true;
            break;
        case GST_ITERATOR_DONE:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(iterator);
    return outcome;
}

HResult CMediaGraph::ConnectPins(GstElement *filterA, const std::string &outName, GstElement *filterB,
                                 const std::string &inName)
{
    GstRef<GstPad> out;
    GstRef<GstPad> in;
    FindPin(filterA, outName, out);
    FindPin(filterB, inName, in);
    return Connect(out.get(), in.get());
}

HResult CMediaGraph::DisconnectPin(GstElement *filter, const std::string &pinName)
{
    GstRef<GstPad> pin;
    FindPin(filter, pinName, pin);
    if (!pin)
        return result::Pointer;
    GstRef<GstPad> peer(gst_pad_get_peer(pin.get()));
    if (!peer)
        return result::False; // only the pad itself, which had nothing to let go
    // One unlink lets go of both ends; a pad that was requested for the link
    // goes back to its element.
    GstPad *src = GST_PAD_IS_SRC(pin.get()) ? pin.get() : peer.get();
    GstPad *sink = GST_PAD_IS_SRC(pin.get()) ? peer.get() : pin.get();
    if (!gst_pad_unlink(src, sink))
        return result::Fail;
    GstPadTemplate *peerTemplate = GST_PAD_PAD_TEMPLATE(peer.get());
    if (peerTemplate && GST_PAD_TEMPLATE_PRESENCE(peerTemplate) == GST_PAD_REQUEST) {
        GstRef<GstElement> owner(gst_pad_get_parent_element(peer.get()));
        if (owner)
            gst_element_release_request_pad(owner.get(), peer.get());
    }
    return result::Ok;
}

HResult CMediaGraph::RenderPin(GstElement *filter, const std::string &pinName)
{
    GstRef<GstPad> pin;
    FindPin(filter, pinName, pin);
    return Render(pin.get());
}

HResult CMediaGraph::ClearGraph()
{
    if (!graph)
        return result::Unexpected;
    Stop();
    // Removing a child changes the bin's list, so take the first one anew
    // each time, as the filter graph's enumerator was reset after each removal.
    for (;;) {
        GstRef<GstElement> child;
        GST_OBJECT_LOCK(graph.get());
        if (GList *children = GST_BIN_CHILDREN(graph.get()))
            child.reset(GST_ELEMENT(gst_object_ref(children->data)));
        GST_OBJECT_UNLOCK(graph.get());
        if (!child)
            return result::Ok;
        gst_element_set_state(child.get(), GST_STATE_NULL);
        if (!gst_bin_remove(Bin(), child.get()))
            return result::Fail;
    }
}

HResult CMediaGraph::AddFilter(GstElement *filter, const std::string &name)
{
    if (!graph)
        return result::Unexpected;
    if (!filter)
        return result::Pointer;
    GstRef<GstElement> held(GST_ELEMENT(gst_object_ref_sink(filter)));
    const std::string unique = UniqueChildName(Bin(), name.empty() ? GST_OBJECT_NAME(filter) : name);
    if (unique != GST_OBJECT_NAME(filter) && !gst_object_set_name(GST_OBJECT(filter), unique.c_str()))
        return result::Fail; // it already has a parent
    return gst_bin_add(Bin(), filter) ? result::Ok : result::Fail;
}

HResult CMediaGraph::RemoveFilter(GstElement *filter)
{
    if (!graph)
        return result::Unexpected;
    if (!filter)
        return result::Pointer;
    GstRef<GstElement> held = RefObject(filter);
    gst_element_set_state(filter, GST_STATE_NULL);
    return gst_bin_remove(Bin(), filter) ? result::Ok : result::Fail;
}

GstRef<GstElement> CMediaGraph::FindFilterByName(const std::string &name) const
{
    for (auto &child : ChildrenOf(Bin()))
        if (name == GST_OBJECT_NAME(child.get()))
            return std::move(child);
    return nullptr;
}

HResult CMediaGraph::Connect(GstPad *out, GstPad *in)
{
    if (!graph)
        return result::Unexpected;
    return connector.Connect(Bin(), out, in);
}

HResult CMediaGraph::Render(GstPad *out)
{
    if (!graph)
        return result::Unexpected;
    return connector.Render(Bin(), out);
}

} // namespace kestrel::media
