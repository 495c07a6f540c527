#include "media/IntelligentConnect.h"

#include "media/BinChildren.h"
#include "media/ElementCatalogue.h"
#include "media/MediaKind.h"
#include "platform/gst/GstRef.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace kestrel::media {

using platform::GstMiniRef;
using platform::RefObject;

namespace {

const char *const kVideoRendererElementName = "Video Renderer";

// Where a search has to arrive.
struct Goal {
    enum class Kind { Pad, Element, Render };
    Kind kind;
    GstPad *pad = nullptr;         // Kind::Pad
    GstElement *element = nullptr; // Kind::Element
};

// One reversible step of a search.
struct UndoStep {
    GstRef<GstPad> out;          // a link out -> in ...
    GstRef<GstPad> in;
    bool releaseIn = false;      // ... whose sink pad was requested for it
    GstRef<GstElement> inserted; // or an element added to the graph
};

GstRef<GstElement> ParentOf(GstPad *pad)
{
    return GstRef<GstElement>(gst_pad_get_parent_element(pad));
}

GstMiniRef<GstCaps> CapsOf(GstPad *pad)
{
    return GstMiniRef<GstCaps>(gst_pad_query_caps(pad, nullptr));
}

// The elements from which data can reach `element`, following linked sink
// pads upstream.
std::set<GstElement *> UpstreamOf(GstElement *element)
{
    std::set<GstElement *> seen;
    std::vector<GstElement *> pending{element};
    while (!pending.empty()) {
        GstElement *current = pending.back();
        pending.pop_back();
        for (const auto &sink : PadsOf(current, GST_PAD_SINK)) {
            GstRef<GstPad> peer(gst_pad_get_peer(sink.get()));
            if (!peer)
                continue;
            GstRef<GstElement> parent = ParentOf(peer.get());
            // The graph keeps its children alive, so plain pointers do here.
            if (parent && seen.insert(parent.get()).second)
                pending.push_back(parent.get());
        }
    }
    return seen;
}

class ConnectSearch {
public:
    ConnectSearch(GstBin *graph, const ConnectPolicy &policy) : graph(graph), policy(policy) {}
    ~ConnectSearch() { Rollback(0); }
    ConnectSearch(const ConnectSearch &) = delete;
    ConnectSearch &operator=(const ConnectSearch &) = delete;

    bool Reach(GstPad *out, const Goal &goal, int budget)
    {
        if (budget < 0)
            return false;
        if (TryGoalDirectly(out, goal))
            return true;
        if (TryGraphElements(out, goal, budget))
            return true;
        if (goal.kind == Goal::Kind::Render && TryRenderer(out))
            return true;
        return TryRegistry(out, goal, budget);
    }

    // Keeps what the search built: inserted elements follow the graph's state.
    void Commit()
    {
        for (auto &step : undo)
            if (step.inserted)
                gst_element_sync_state_with_parent(step.inserted.get());
        undo.clear();
    }

private:
    std::size_t Checkpoint() const { return undo.size(); }

    void Rollback(std::size_t checkpoint)
    {
        while (undo.size() > checkpoint) {
            UndoStep step = std::move(undo.back());
            undo.pop_back();
            if (step.inserted) {
                gst_element_set_state(step.inserted.get(), GST_STATE_NULL);
                gst_bin_remove(graph, step.inserted.get());
            } else {
                gst_pad_unlink(step.out.get(), step.in.get());
                if (step.releaseIn) {
                    GstRef<GstElement> owner = ParentOf(step.in.get());
                    if (owner)
                        gst_element_release_request_pad(owner.get(), step.in.get());
                }
            }
        }
    }

    bool Link(GstPad *out, GstPad *in, bool requested)
    {
        if (gst_pad_is_linked(in) || gst_pad_link(out, in) != GST_PAD_LINK_OK)
            return false;
        undo.push_back(UndoStep{RefObject(out), RefObject(in), requested, nullptr});
        return true;
    }

    // Links `out` to a free sink pad of `element`: an unlinked one it has, or
    // one requested from a template whose caps fit.
    bool LinkToFreeSinkPad(GstPad *out, GstElement *element)
    {
        for (const auto &sink : PadsOf(element, GST_PAD_SINK))
            if (!gst_pad_is_linked(sink.get()) && Link(out, sink.get(), false))
                return true;
        GstMiniRef<GstCaps> outCaps = CapsOf(out);
        for (GList *item = gst_element_class_get_pad_template_list(GST_ELEMENT_GET_CLASS(element)); item;
             item = item->next) {
            auto *templ = GST_PAD_TEMPLATE(item->data);
            if (GST_PAD_TEMPLATE_DIRECTION(templ) != GST_PAD_SINK ||
                GST_PAD_TEMPLATE_PRESENCE(templ) != GST_PAD_REQUEST ||
                !gst_caps_can_intersect(outCaps.get(), GST_PAD_TEMPLATE_CAPS(templ)))
                continue;
            GstRef<GstPad> requested(gst_element_request_pad(element, templ, nullptr, nullptr));
            if (!requested)
                continue;
            if (Link(out, requested.get(), true))
                return true;
            gst_element_release_request_pad(element, requested.get());
        }
        return false;
    }

    bool TryGoalDirectly(GstPad *out, const Goal &goal)
    {
        switch (goal.kind) {
        case Goal::Kind::Pad:
            return Link(out, goal.pad, false);
        case Goal::Kind::Element:
            return LinkToFreeSinkPad(out, goal.element);
        case Goal::Kind::Render:
            return false;
        }
        return false;
    }

    // After `out` was linked into `element`: go on from its src pads.
    bool Continue(GstElement *element, const Goal &goal, int budget)
    {
        std::vector<GstRef<GstPad>> free;
        for (auto &src : PadsOf(element, GST_PAD_SRC))
            if (!gst_pad_is_linked(src.get()))
                free.push_back(std::move(src));
        if (goal.kind == Goal::Kind::Render) {
            // Every free src pad must be rendered. A sink ends the stream; so
            // does an element whose src pads appear only when data flows
            // (decodebin-like: its later pads are its owner's to link) and one
            // whose outputs are all linked already.
            for (const auto &src : free)
                if (!Reach(src.get(), goal, budget - 1))
                    return false;
            return true;
        }
        for (const auto &src : free)
            if (Reach(src.get(), goal, budget - 1))
                return true;
        return false;
    }

    bool Excluded(GstElement *candidate, GstElement *own, const std::set<GstElement *> &upstream,
                  const Goal &goal) const
    {
        if (candidate == own || upstream.count(candidate))
            return true;
        if (goal.kind == Goal::Kind::Element && candidate == goal.element)
            return true; // already tried directly
        if (goal.kind == Goal::Kind::Pad) {
            GstRef<GstElement> target = ParentOf(goal.pad);
            if (candidate == target.get())
                return true;
        }
        return false;
    }

    bool TryGraphElements(GstPad *out, const Goal &goal, int budget)
    {
        if (budget < 1)
            return false;
        GstRef<GstElement> own = ParentOf(out);
        const std::set<GstElement *> upstream = own ? UpstreamOf(own.get()) : std::set<GstElement *>{};
        for (const auto &candidate : ChildrenOf(graph)) {
            if (Excluded(candidate.get(), own.get(), upstream, goal))
                continue;
            const std::size_t checkpoint = Checkpoint();
            if (LinkToFreeSinkPad(out, candidate.get()) && Continue(candidate.get(), goal, budget))
                return true;
            Rollback(checkpoint);
        }
        return false;
    }

    GstRef<GstElement> Insert(GstElementFactory *factory, const std::string &name)
    {
        GstElement *element = gst_element_factory_create(factory, name.c_str());
        if (!element)
            return nullptr;
        if (!gst_bin_add(graph, element)) // takes the floating reference
            return nullptr;
        GstRef<GstElement> held = RefObject(element);
        undo.push_back(UndoStep{nullptr, nullptr, false, RefObject(element)});
        return held;
    }

    static std::string LongName(GstElementFactory *factory)
    {
        const char *name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        return name ? name : GST_OBJECT_NAME(factory);
    }

    bool TryRegistry(GstPad *out, const Goal &goal, int budget)
    {
        if (budget < 1)
            return false;
        if (!intermediates)
            intermediates = CElementCatalogue::Intermediates();
        GstMiniRef<GstCaps> caps = CapsOf(out);
        // A pad that cannot say what it carries gives nothing to choose by.
        if (!caps || gst_caps_is_any(caps.get()) || gst_caps_is_empty(caps.get()))
            return false;
        for (const auto &factory : *intermediates) {
            GstElementFactory *f = factory.get();
            if (std::find(chain.begin(), chain.end(), f) != chain.end() ||
                !gst_element_factory_can_sink_any_caps(f, caps.get()))
                continue;
            const std::size_t checkpoint = Checkpoint();
            GstRef<GstElement> element = Insert(f, UniqueChildName(graph, LongName(f)));
            if (element) {
                chain.push_back(f);
                const bool reached = LinkToFreeSinkPad(out, element.get()) && Continue(element.get(), goal, budget);
                chain.pop_back();
                if (reached)
                    return true;
            }
            Rollback(checkpoint);
        }
        return false;
    }

    bool SinkOpens(GstElement *sink) const
    {
        return policy.sinkOpens ? policy.sinkOpens(sink) : CIntelligentConnect::SinkReachesReady(sink);
    }

    // The renderer factory for `kind`, chosen once per search.
    GstElementFactory *RendererFactory(MediaKind kind)
    {
        auto &chosen = kind == MediaKind::Video ? videoRenderer : audioRenderer;
        if (chosen)
            return chosen->get();
        chosen.emplace();
        if (kind == MediaKind::Video && !policy.videoRendererName.empty())
            *chosen = CElementCatalogue::FindByLongName(policy.videoRendererName);
        for (auto &factory : CElementCatalogue::Renderers(kind)) {
            if (*chosen)
                break;
            GstRef<GstElement> probe(gst_element_factory_create(factory.get(), nullptr));
            if (!probe)
                continue;
            gst_object_ref_sink(probe.get());
            if (SinkOpens(probe.get()))
                *chosen = std::move(factory);
        }
        const char *const fallbacks[] = {kind == MediaKind::Video ? "fakevideosink" : "fakeaudiosink", "fakesink"};
        for (const char *name : fallbacks)
            if (!*chosen)
                *chosen = GstRef<GstElementFactory>(gst_element_factory_find(name));
        return chosen->get();
    }

    bool TryRenderer(GstPad *out)
    {
        const MediaKind kind = MediaKindOfPad(out);
        if (kind == MediaKind::Unknown)
            return false;
        GstElementFactory *factory = RendererFactory(kind);
        if (!factory)
            return false;
        const std::string base = kind == MediaKind::Video ? kVideoRendererElementName : LongName(factory);
        const std::size_t checkpoint = Checkpoint();
        GstRef<GstElement> sink = Insert(factory, UniqueChildName(graph, base));
        if (sink && LinkToFreeSinkPad(out, sink.get()))
            return true;
        Rollback(checkpoint);
        return false;
    }

    GstBin *graph;
    const ConnectPolicy &policy;
    std::vector<UndoStep> undo;
    std::vector<GstElementFactory *> chain; // the registry factories on the current branch
    std::optional<CElementCatalogue::FactoryList> intermediates;
    std::optional<GstRef<GstElementFactory>> videoRenderer;
    std::optional<GstRef<GstElementFactory>> audioRenderer;
};

HResult Search(GstBin *graph, const ConnectPolicy &policy, GstPad *out, const Goal &goal, HResult failure)
{
    if (!graph || !out)
        return result::Pointer;
    if (GST_PAD_DIRECTION(out) != GST_PAD_SRC)
        return failure;
    if (gst_pad_is_linked(out))
        return result::AlreadyConnected;
    ConnectSearch search(graph, policy);
    if (!search.Reach(out, goal, policy.maxChainLength))
        return failure;
    search.Commit();
    return result::Ok;
}

} // namespace

CIntelligentConnect::CIntelligentConnect(ConnectPolicy policy) : policy(std::move(policy)) {}

void CIntelligentConnect::SetPolicy(ConnectPolicy replacement)
{
    policy = std::move(replacement);
}

bool CIntelligentConnect::SinkReachesReady(GstElement *sink)
{
    const bool opened = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(sink, GST_STATE_NULL);
    return opened;
}

HResult CIntelligentConnect::Connect(GstBin *graph, GstPad *out, GstPad *in)
{
    if (!in)
        return result::Pointer;
    if (GST_PAD_DIRECTION(in) != GST_PAD_SINK)
        return result::CannotConnect;
    if (gst_pad_is_linked(in))
        return result::AlreadyConnected;
    return Search(graph, policy, out, Goal{Goal::Kind::Pad, in, nullptr}, result::CannotConnect);
}

HResult CIntelligentConnect::ConnectToElement(GstBin *graph, GstPad *out, GstElement *target)
{
    if (!target)
        return result::Pointer;
    return Search(graph, policy, out, Goal{Goal::Kind::Element, nullptr, target}, result::CannotConnect);
}

HResult CIntelligentConnect::Render(GstBin *graph, GstPad *out)
{
    return Search(graph, policy, out, Goal{Goal::Kind::Render, nullptr, nullptr}, result::CannotRender);
}

} // namespace kestrel::media
