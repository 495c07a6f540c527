/**
 * tidelinertpsrc ("ORVA RTP Source Filter"): the receiving end of a call's
 * media, a live source. Each linked pad listens on its own UDP port while
 * the element is PAUSED or PLAYING, rebuilds the samples the peer's render
 * element sent and pushes them downstream as they complete, without
 * timestamps, so sinks present them on arrival.
 *
 * Pads (always, source):
 *   "Video Transport"  video/x-h263 176 x 144, listens on port P
 *   "Audio Transport"  audio/x-truespeech 8000 Hz mono, 32-byte blocks,
 *                      listens on port P - 2
 * P is the "port" property (6060), read when streaming starts. Each pad has
 * its own streaming task and a receive thread; they share only the
 * receiver's queue of two samples.
 *
 * With "peer-address" set, RTP and RTCP from any other address are dropped
 * and counted in "foreign-packets". A buffer that follows a lost or dropped
 * sample carries the DISCONT flag.
 *
 * Example (show the video a peer sends to 127.0.0.2):
 *   gst-launch-1.0 tidelinertpsrc bind-address=127.0.0.2 name=s \
 *     s. ! avdec_h263 ! videoconvert ! autovideosink
 */
#include "filters/gst/gsttidelinertpsrc.h"

#include "filters/RtpSourceFilter.h"
#include "filters/gst/tidelineconfig.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>

using kestrel::filters::CRtpSourceFilter;
using kestrel::filters::CRtpSourceStream;
using kestrel::filters::StreamKind;

GST_DEBUG_CATEGORY_STATIC(tideline_src_debug);
#define GST_CAT_DEFAULT tideline_src_debug

namespace {

// How long a streaming task waits for a sample before it looks at its own
// state again. Stopping and end of stream wake it at once, so this is only a
// safety net.
constexpr std::chrono::milliseconds kSampleWait{5000};

// Per pad: what its streaming task owns. The task sets `pool` once it has
// agreed on buffers with downstream; the control thread flushes it to wake
// the task and releases it once the task has stopped.
struct PadStream {
    GstPad *pad = nullptr;
    CRtpSourceStream *stream = nullptr;
    std::mutex poolLock; // guards pool
    GstBufferPool *pool = nullptr;
    std::atomic<bool> started{false};     // stream-start, caps and segment sent
    std::atomic<bool> endOfStream{false}; // the application asked to end the stream

    GstBufferPool *Pool()
    {
        std::lock_guard lock(poolLock);
        return pool;
    }
};

} // namespace

struct _GstTidelineRtpSrc {
    GstElement parent;
    CRtpSourceFilter *filter;
    std::array<PadStream, 2> *pads;
};

enum { PROP_0, PROP_PORT, PROP_BIND_ADDRESS, PROP_PEER_ADDRESS, PROP_FOREIGN_PACKETS };

// What the streams carry: QCIF H.263, and TrueSpeech as its wave format
// describes it (revision 1, 240 samples per 32-byte block).
static GstStaticPadTemplate videoTemplate = GST_STATIC_PAD_TEMPLATE(
    "Video Transport", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-h263, variant=(string)itu, width=(int)176, height=(int)144, "
                    "framerate=(fraction)0/1"));
static GstStaticPadTemplate audioTemplate = GST_STATIC_PAD_TEMPLATE(
    "Audio Transport", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-truespeech, rate=(int)8000, channels=(int)1, block_align=(int)32, "
                    "bitrate=(int)8536"));

static GstCaps *StreamCaps(StreamKind kind)
{
    if (kind == StreamKind::Video)
        return gst_static_caps_get(&videoTemplate.static_caps);
    GstCaps *caps = gst_static_caps_get(&audioTemplate.static_caps);
    caps = gst_caps_make_writable(caps);
    // The wave format's extra bytes: revision 1, 240 samples per block, 28 zeros.
    guint8 extra[32] = {1, 0, 240, 0};
    GstBuffer *codecData = gst_buffer_new_memdup(extra, sizeof extra);
    gst_caps_set_simple(caps, "codec_data", GST_TYPE_BUFFER, codecData, nullptr);
    gst_buffer_unref(codecData);
    return caps;
}

static void gst_tideline_rtp_src_config_init(TidelineRtpSourceConfigInterface *iface);
static void gst_tideline_rtp_src_peer_config_init(TidelineRtpSourcePeerConfigInterface *iface);

G_DEFINE_TYPE_WITH_CODE(GstTidelineRtpSrc, gst_tideline_rtp_src, GST_TYPE_ELEMENT,
                        G_IMPLEMENT_INTERFACE(tideline_rtp_source_config_get_type(),
                                              gst_tideline_rtp_src_config_init)
                            G_IMPLEMENT_INTERFACE(tideline_rtp_source_peer_config_get_type(),
                                                  gst_tideline_rtp_src_peer_config_init))

static PadStream &PadStreamOf(GstTidelineRtpSrc *self, GstPad *pad)
{
    return (*self->pads)[pad == (*self->pads)[0].pad ? 0 : 1];
}

// Asks downstream how buffers should be allocated and makes a pool of at
// least kBufferCount buffers of the stream's size.
static GstBufferPool *NegotiatePool(GstTidelineRtpSrc *self, PadStream &padStream, GstCaps *caps)
{
    const guint size = static_cast<guint>(padStream.stream->BufferSize());
    guint minBuffers = CRtpSourceStream::kBufferCount;
    GstAllocator *allocator = nullptr;
    GstAllocationParams params;
    gst_allocation_params_init(&params);

    GstQuery *query = gst_query_new_allocation(caps, TRUE);
    if (gst_pad_peer_query(padStream.pad, query)) {
        if (gst_query_get_n_allocation_params(query) > 0)
            gst_query_parse_nth_allocation_param(query, 0, &allocator, &params);
        if (gst_query_get_n_allocation_pools(query) > 0) {
            guint downstreamMin = 0;
            gst_query_parse_nth_allocation_pool(query, 0, nullptr, nullptr, &downstreamMin, nullptr);
            minBuffers = std::max(minBuffers, downstreamMin);
        }
    }
    gst_query_unref(query);

    GstBufferPool *pool = gst_buffer_pool_new();
    GstStructure *config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, minBuffers, 0);
    gst_buffer_pool_config_set_allocator(config, allocator, &params);
    if (allocator)
        gst_object_unref(allocator);
    bool usable = gst_buffer_pool_set_config(pool, config);
    if (usable) {
        config = gst_buffer_pool_get_config(pool);
        guint grantedSize = 0;
        gst_buffer_pool_config_get_params(config, nullptr, &grantedSize, nullptr, nullptr);
        gst_structure_free(config);
        usable = grantedSize >= size && gst_buffer_pool_set_active(pool, TRUE);
    }
    if (!usable) {
        gst_object_unref(pool);
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("Could not allocate buffers for received samples."),
                          ("a pool of %u buffers of %u bytes was refused", minBuffers, size));
        return nullptr;
    }
    return pool;
}

// First pass of a streaming task: tell downstream what comes and agree on
// buffers. False when the stream cannot run.
static bool StartStreaming(GstTidelineRtpSrc *self, PadStream &padStream)
{
    const StreamKind kind = padStream.stream->Kind();
    gchar *streamId = gst_pad_create_stream_id(padStream.pad, GST_ELEMENT(self),
                                               kind == StreamKind::Video ? "video" : "audio");
    gst_pad_push_event(padStream.pad, gst_event_new_stream_start(streamId));
    g_free(streamId);
    GstCaps *caps = StreamCaps(kind);
    gst_pad_push_event(padStream.pad, gst_event_new_caps(caps));
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(padStream.pad, gst_event_new_segment(&segment));
    GstBufferPool *pool = NegotiatePool(self, padStream, caps);
    gst_caps_unref(caps);
    // The control thread looks at the pool to wake a task blocked on it.
    {
        std::lock_guard lock(padStream.poolLock);
        padStream.pool = pool;
    }
    padStream.started = true;
    return pool != nullptr;
}

// One pass of a pad's streaming task: deliver the oldest rebuilt sample, or
// wait a little for one.
static void gst_tideline_rtp_src_loop(GstPad *pad)
{
    auto *self = GST_TIDELINE_RTP_SRC(gst_pad_get_parent_element(pad));
    PadStream &padStream = PadStreamOf(self, pad);
    GstFlowReturn flow = GST_FLOW_OK;
    if (padStream.endOfStream) {
        gst_pad_push_event(pad, gst_event_new_eos());
        flow = GST_FLOW_EOS;
    } else if (!padStream.started && !StartStreaming(self, padStream)) {
        flow = GST_FLOW_ERROR;
    } else if (padStream.stream->WaitForSample(kSampleWait)) {
        GstBuffer *buffer = nullptr;
        flow = gst_buffer_pool_acquire_buffer(padStream.Pool(), &buffer, nullptr);
        if (flow == GST_FLOW_OK) {
            GstMapInfo map;
            int length = 0;
            bool filled = false;
            bool discontinuity = false;
            if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
                filled = padStream.stream->FillBuffer({map.data, map.size}, length, &discontinuity)
                    == CRtpSourceStream::FillResult::Filled;
                gst_buffer_unmap(buffer, &map);
            }
            if (filled) {
                gst_buffer_set_size(buffer, length);
                // As a depayloader does after a gap: the decoder must not
                // take this sample as the continuation of the previous one.
                if (discontinuity)
                    gst_buffer_set_flags(buffer, GST_BUFFER_FLAG_DISCONT);
                flow = gst_pad_push(pad, buffer);
            } else {
                gst_buffer_unref(buffer); // back to the pool; the sample was too large or gone
            }
        }
    }
    if (flow != GST_FLOW_OK) {
        GST_DEBUG_OBJECT(self, "%s: pausing, %s", GST_PAD_NAME(pad), gst_flow_get_name(flow));
        gst_pad_pause_task(pad);
        // Flushing and EOS are part of stopping; a refused link is an error
        // the application must hear about.
        if (flow == GST_FLOW_NOT_NEGOTIATED || flow == GST_FLOW_ERROR)
            GST_ELEMENT_FLOW_ERROR(self, flow);
    }
    gst_object_unref(self);
}

static gboolean gst_tideline_rtp_src_activate_mode(GstPad *pad, GstObject *parent, GstPadMode mode, gboolean active)
{
    if (mode != GST_PAD_MODE_PUSH)
        return FALSE;
    auto *self = GST_TIDELINE_RTP_SRC(parent);
    PadStream &padStream = PadStreamOf(self, pad);
    if (active) {
        // As with any source, an unlinked pad does not stream (and binds no port).
        if (!gst_pad_is_linked(pad))
            return TRUE;
        padStream.started = false;
        padStream.endOfStream = false;
        // The receiver starts here rather than in the task, so the port is
        // listening by the time the state change returns.
        padStream.stream->OnThreadCreate(self->filter->GetPort(), self->filter->BindAddress(),
                                         self->filter->PeerAddress());
        if (!padStream.stream->IsReceiving())
            GST_WARNING_OBJECT(self, "%s: no session on port %d; the stream stays silent", GST_PAD_NAME(pad),
                               padStream.stream->ListeningPort());
        return gst_pad_start_task(pad, reinterpret_cast<GstTaskFunction>(gst_tideline_rtp_src_loop), pad, nullptr);
    }
    // The pad is flushing already; wake whatever the task may wait on, then
    // wait for it to end.
    padStream.stream->Unblock();
    {
        std::lock_guard lock(padStream.poolLock);
        if (padStream.pool)
            gst_buffer_pool_set_flushing(padStream.pool, TRUE);
    }
    const gboolean stopped = gst_pad_stop_task(pad);
    padStream.stream->OnThreadDestroy();
    GstBufferPool *pool = nullptr;
    {
        std::lock_guard lock(padStream.poolLock);
        pool = std::exchange(padStream.pool, nullptr);
    }
    if (pool) {
        gst_buffer_pool_set_active(pool, FALSE);
        gst_object_unref(pool);
    }
    padStream.started = false;
    return stopped;
}

static gboolean gst_tideline_rtp_src_query(GstPad *pad, GstObject *parent, GstQuery *query)
{
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
        // Live, and samples go out the moment they are whole.
        gst_query_set_latency(query, TRUE, 0, GST_CLOCK_TIME_NONE);
        return TRUE;
    }
    return gst_pad_query_default(pad, parent, query);
}

// An EOS sent to the element (gst-launch-1.0 -e, an application ending a
// recording) ends each stream from its own task, after any sample in flight.
static gboolean gst_tideline_rtp_src_send_event(GstElement *element, GstEvent *event)
{
    if (GST_EVENT_TYPE(event) != GST_EVENT_EOS)
        return GST_ELEMENT_CLASS(gst_tideline_rtp_src_parent_class)->send_event(element, event);
    auto *self = GST_TIDELINE_RTP_SRC(element);
    for (PadStream &padStream : *self->pads) {
        padStream.endOfStream = true;
        padStream.stream->Unblock();
    }
    gst_event_unref(event);
    return TRUE;
}

static GstStateChangeReturn gst_tideline_rtp_src_change_state(GstElement *element, GstStateChange transition)
{
    GstStateChangeReturn result =
        GST_ELEMENT_CLASS(gst_tideline_rtp_src_parent_class)->change_state(element, transition);
    if (result == GST_STATE_CHANGE_FAILURE)
        return result;
    // A live source produces nothing to preroll with.
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED || transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED)
        result = GST_STATE_CHANGE_NO_PREROLL;
    return result;
}

static void gst_tideline_rtp_src_set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    auto *self = GST_TIDELINE_RTP_SRC(object);
    switch (id) {
    case PROP_PORT:
        self->filter->SetPort(g_value_get_int(value));
        break;
    case PROP_BIND_ADDRESS:
        self->filter->SetBindAddress(g_value_get_string(value) ? g_value_get_string(value) : "");
        break;
    case PROP_PEER_ADDRESS:
        self->filter->SetPeerAddress(g_value_get_string(value) ? g_value_get_string(value) : "");
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void gst_tideline_rtp_src_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    auto *self = GST_TIDELINE_RTP_SRC(object);
    switch (id) {
    case PROP_PORT:
        g_value_set_int(value, self->filter->GetPort());
        break;
    case PROP_BIND_ADDRESS:
        g_value_set_string(value, self->filter->BindAddress().c_str());
        break;
    case PROP_PEER_ADDRESS:
        g_value_set_string(value, self->filter->PeerAddress().c_str());
        break;
    case PROP_FOREIGN_PACKETS:
        g_value_set_uint64(value, self->filter->Stream(StreamKind::Video).ForeignPackets()
                                      + self->filter->Stream(StreamKind::Audio).ForeignPackets());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void SetPort(TidelineRtpSourceConfig *config, gint port)
{
    GST_TIDELINE_RTP_SRC(config)->filter->SetPort(port);
}

static gint GetPort(TidelineRtpSourceConfig *config)
{
    return GST_TIDELINE_RTP_SRC(config)->filter->GetPort();
}

static void gst_tideline_rtp_src_config_init(TidelineRtpSourceConfigInterface *iface)
{
    iface->set_port = SetPort;
    iface->get_port = GetPort;
}

static void SetPeerAddress(TidelineRtpSourcePeerConfig *config, const gchar *address)
{
    GST_TIDELINE_RTP_SRC(config)->filter->SetPeerAddress(address ? address : "");
}

static gchar *GetPeerAddress(TidelineRtpSourcePeerConfig *config)
{
    return g_strdup(GST_TIDELINE_RTP_SRC(config)->filter->PeerAddress().c_str());
}

static void gst_tideline_rtp_src_peer_config_init(TidelineRtpSourcePeerConfigInterface *iface)
{
    iface->set_peer_address = SetPeerAddress;
    iface->get_peer_address = GetPeerAddress;
}

static void gst_tideline_rtp_src_finalize(GObject *object)
{
    auto *self = GST_TIDELINE_RTP_SRC(object);
    delete self->pads;
    delete self->filter; // stops any receiver left
    G_OBJECT_CLASS(gst_tideline_rtp_src_parent_class)->finalize(object);
}

static void gst_tideline_rtp_src_init(GstTidelineRtpSrc *self)
{
    self->filter = new CRtpSourceFilter();
    self->pads = new std::array<PadStream, 2>{};
    GstStaticPadTemplate *templates[2] = {&videoTemplate, &audioTemplate};
    for (std::size_t i = 0; i < 2; ++i) {
        GstPad *pad = gst_pad_new_from_static_template(templates[i], templates[i]->name_template);
        gst_pad_set_activatemode_function(pad, gst_tideline_rtp_src_activate_mode);
        gst_pad_set_query_function(pad, gst_tideline_rtp_src_query);
        gst_pad_use_fixed_caps(pad);
        gst_element_add_pad(GST_ELEMENT(self), pad);
        (*self->pads)[i].pad = pad;
        (*self->pads)[i].stream = &self->filter->Stream(i == 0 ? StreamKind::Video : StreamKind::Audio);
    }
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SOURCE);
}

static void gst_tideline_rtp_src_class_init(GstTidelineRtpSrcClass *klass)
{
    GST_DEBUG_CATEGORY_INIT(tideline_src_debug, "tidelinertpsrc", 0, "Tideline RTP source");
    auto *objectClass = G_OBJECT_CLASS(klass);
    auto *elementClass = GST_ELEMENT_CLASS(klass);
    objectClass->set_property = gst_tideline_rtp_src_set_property;
    objectClass->get_property = gst_tideline_rtp_src_get_property;
    objectClass->finalize = gst_tideline_rtp_src_finalize;
    elementClass->change_state = gst_tideline_rtp_src_change_state;
    elementClass->send_event = gst_tideline_rtp_src_send_event;

    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        objectClass, PROP_PORT,
        g_param_spec_int("port", "Port",
                         "Video is received on this port and audio on the port 2 below; read when streaming starts",
                         0, 65535, kestrel::filters::kDefaultMediaPort, flags));
    g_object_class_install_property(
        objectClass, PROP_BIND_ADDRESS,
        g_param_spec_string("bind-address", "Local address", "Local address to listen on (empty: any)", "", flags));
    g_object_class_install_property(
        objectClass, PROP_PEER_ADDRESS,
        g_param_spec_string("peer-address", "Peer address",
                            "Take media only from this IPv4 address (empty: from anyone); read when streaming starts",
                            "", flags));
    g_object_class_install_property(
        objectClass, PROP_FOREIGN_PACKETS,
        g_param_spec_uint64("foreign-packets", "Foreign packets",
                            "RTP and RTCP datagrams dropped because they came from another address than the peer",
                            0, G_MAXUINT64, 0,
                            static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_add_static_pad_template(elementClass, &videoTemplate);
    gst_element_class_add_static_pad_template(elementClass, &audioTemplate);
    gst_element_class_set_static_metadata(elementClass, TIDELINE_RTP_SOURCE_LONG_NAME, "Source/Network",
                                          "Receives compressed video and audio samples from a peer as RTP over UDP",
                                          "The Kestrel developers");
    gst_element_class_add_static_metadata(elementClass, TIDELINE_METADATA_CLASS_ID, TIDELINE_RTP_SOURCE_CLASS_ID);
    gst_element_class_add_static_metadata(elementClass, TIDELINE_METADATA_PROPERTY_PAGE,
                                          TIDELINE_RTP_SOURCE_PAGE_ID);
}
