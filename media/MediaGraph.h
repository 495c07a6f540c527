#pragma once

#include "media/IntelligentConnect.h"
#include "media/MediaResult.h"
#include "platform/gst/GstRef.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kestrel::media {

using platform::GstMiniRef;
using platform::GstRef;

// One pipeline and its bus, with the element and pad helpers every
// graph-building step uses. Elements are found in GStreamer's registry by
// their long names and named in the pipeline by them; pads are named exactly
// (case-sensitive).
//
// Threads: everything runs on the user-interface thread, except the event
// notification (below), which may come from any thread.
class CMediaGraph {
public:
    enum class State { Stopped = 0, Paused = 1, Running = 2 };
    // Makes the pipeline for Create (a floating or new reference).
    using PipelineMaker = std::function<GstElement *()>;
    // Called, on whatever thread posted it, when an event is pending.
    using EventNotify = std::function<void()>;

    CMediaGraph();
    explicit CMediaGraph(PipelineMaker maker);
    virtual ~CMediaGraph();
    CMediaGraph(const CMediaGraph &) = delete;
    CMediaGraph &operator=(const CMediaGraph &) = delete;

    // Makes the pipeline and takes its bus; false when either is missing.
    virtual bool Create();
    // Drops the event notification and the bus, then stops and releases the
    // pipeline. Every member is empty afterwards, also after a failed Create.
    virtual void Release();
    bool IsCreated() const { return graph != nullptr; }

    GstElement *Pipeline() const { return graph.get(); } // borrowed; null before Create
    GstBin *Bin() const { return graph ? GST_BIN(graph.get()) : nullptr; }
    GstBus *Bus() const { return events.get(); }

    // Media control. Stop takes the pipeline to NULL, which closes devices.
    HResult Run();
    HResult Pause();
    HResult Stop();
    // The state, or the one a change under way is heading for
    // (StateIntermediate); a timeout of 0 never blocks.
    HResult GetState(std::chrono::milliseconds timeout, State &state) const;

    // Events. With a notification set, every bus message is kept for
    // TakeEvent and `notify` is called for it; without one, messages are
    // dropped, so a graph nobody watches does not pile them up. `notify`
    // must not call back into the graph; after SetNotify returns, the old
    // notification is no longer running or called.
    void SetNotify(EventNotify notify);
    // The oldest pending message, or null; never blocks.
    GstMiniRef<GstMessage> TakeEvent();

    // Filter graph helpers.
    // Finds the factory whose long name is exactly `name`, makes the element
    // and adds it under that name. Always succeeds: nothing found leaves
    // `slot` as it was and adds nothing.
    HResult AddRegisteredFilter(const std::string &name, GstRef<GstElement> &slot);
    // AddRegisteredFilter only when `slot` is empty; a filled slot is reused.
    HResult FillRegisteredFilter(const std::string &name, GstRef<GstElement> &slot);
    // The result of the pad enumeration; `pin` is null when no pad is named
    // `pinName`, which is not a failure.
    static HResult FindPin(GstElement *filter, const std::string &pinName, GstRef<GstPad> &pin);
    HResult ConnectPins(GstElement *filterA, const std::string &outName, GstElement *filterB,
                        const std::string &inName);
    // Unlinks the pad from its peer; S_FALSE when it was not linked.
    HResult DisconnectPin(GstElement *filter, const std::string &pinName);
    HResult RenderPin(GstElement *filter, const std::string &pinName);
    // Stops the graph and removes every element, also those intelligent
    // connect inserted.
    HResult ClearGraph();

    // Filter graph operations.
    // Adds `filter` (taking a floating reference) under `name`, or under its
    // own name when `name` is empty; made unique like the graph.
    HResult AddFilter(GstElement *filter, const std::string &name = {});
    HResult RemoveFilter(GstElement *filter);
    // The graph's element of that name (not searched inside bins), or null.
    GstRef<GstElement> FindFilterByName(const std::string &name) const;
    HResult Connect(GstPad *out, GstPad *in);
    HResult Render(GstPad *out);

    CIntelligentConnect &Connector() { return connector; }

private:
    // Shared with the bus's sync handler, which may outlive a call to Release
    // on another thread: the bus holds its own share.
    struct EventRelay {
        std::mutex notifyLock; // guards `notify`; held while it runs
        EventNotify notify;
    };
    static GstBusSyncReply OnBusMessage(GstBus *bus, GstMessage *message, gpointer relay);
    HResult SetState(GstState state);

    PipelineMaker makePipeline;
    CIntelligentConnect connector;
    std::shared_ptr<EventRelay> relay = std::make_shared<EventRelay>();
    GstRef<GstElement> graph; // the pipeline (graph builder and media control in one)
    GstRef<GstBus> events;    // its bus (the event interface)
};

} // namespace kestrel::media
