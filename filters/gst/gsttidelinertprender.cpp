/**
 * tidelinertprender ("ORVA RTP Render Filter"): the sending end of a call's
 * media. Every compressed sample that reaches a pad is sent at once to the
 * peer as RTP over UDP, cut into 1400-byte packets with the marker on the
 * last; nothing is queued, paced or synchronised to a clock.
 *
 * Pads (always, sink):
 *   "Video Transport"  video/x-h263, sent to port P (from local port P + 20)
 *   "Audio Transport"  audio/x-truespeech or audio/x-mulaw, sent to P - 2
 *                      (from local port P + 18)
 * P is the "port" property (6060). The channels open on the change from
 * READY to PAUSED and close, after an RTCP BYE, on the change back to READY.
 *
 * Example (send a test picture to 127.0.0.2):
 *   gst-launch-1.0 videotestsrc is-live=true ! video/x-raw,width=176,height=144 \
 *     ! avenc_h263 ! tidelinertprender address=127.0.0.2
 */
#include "filters/gst/gsttidelinertprender.h"

#include "filters/RtpRenderFilter.h"
#include "filters/gst/tidelineconfig.h"

#include <array>
#include <atomic>
#include <optional>

using kestrel::filters::CRtpRenderFilter;
using kestrel::filters::StreamKind;

GST_DEBUG_CATEGORY_STATIC(tideline_render_debug);
#define GST_CAT_DEFAULT tideline_render_debug

struct _GstTidelineRtpRender {
    GstElement parent;
    std::array<GstPad *, 2> pads;
    CRtpRenderFilter *filter;
    std::array<std::atomic<bool>, 2> *padEos; // EOS seen on each pad since streaming started
};

enum { PROP_0, PROP_ADDRESS, PROP_PORT, PROP_BIND_ADDRESS };

static GstStaticPadTemplate videoTemplate =
    GST_STATIC_PAD_TEMPLATE("Video Transport", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-h263"));
static GstStaticPadTemplate audioTemplate = GST_STATIC_PAD_TEMPLATE(
    "Audio Transport", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-truespeech; audio/x-mulaw"));

static void gst_tideline_rtp_render_config_init(TidelineRtpRenderConfigInterface *iface);

G_DEFINE_TYPE_WITH_CODE(GstTidelineRtpRender, gst_tideline_rtp_render, GST_TYPE_ELEMENT,
                        G_IMPLEMENT_INTERFACE(tideline_rtp_render_config_get_type(),
                                              gst_tideline_rtp_render_config_init))

static StreamKind KindOfPad(GstTidelineRtpRender *self, GstPad *pad)
{
    return pad == self->pads[0] ? StreamKind::Video : StreamKind::Audio;
}

static std::optional<uint64_t> Offset(guint64 value)
{
    if (value == GST_BUFFER_OFFSET_NONE)
        return std::nullopt;
    return value;
}

static GstFlowReturn gst_tideline_rtp_render_chain(GstPad *pad, GstObject *parent, GstBuffer *buffer)
{
    auto *self = GST_TIDELINE_RTP_RENDER(parent);
    // Buffer offsets are GStreamer's media times (frame or sample numbers).
    const uint32_t timestamp =
        CRtpRenderFilter::RtpTimestamp(Offset(GST_BUFFER_OFFSET(buffer)), Offset(GST_BUFFER_OFFSET_END(buffer)));
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("Could not read a media sample."), (nullptr));
        return GST_FLOW_ERROR;
    }
    const auto result = self->filter->Receive(KindOfPad(self, pad), {map.data, map.size}, timestamp);
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
    return result == CRtpRenderFilter::ReceiveResult::NotStreaming ? GST_FLOW_FLUSHING : GST_FLOW_OK;
}

// Posts EOS once every linked pad has seen it, as a sink must for the
// pipeline to report the end of the stream.
static void PostEosWhenAllPadsDone(GstTidelineRtpRender *self)
{
    for (std::size_t i = 0; i < self->pads.size(); ++i) {
        if (gst_pad_is_linked(self->pads[i]) && !(*self->padEos)[i].load())
            return;
    }
    gst_element_post_message(GST_ELEMENT(self), gst_message_new_eos(GST_OBJECT(self)));
}

static gboolean gst_tideline_rtp_render_event(GstPad *pad, GstObject *parent, GstEvent *event)
{
    auto *self = GST_TIDELINE_RTP_RENDER(parent);
    const std::size_t index = KindOfPad(self, pad) == StreamKind::Video ? 0 : 1;
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_EOS:
        (*self->padEos)[index] = true;
        PostEosWhenAllPadsDone(self);
        break;
    case GST_EVENT_FLUSH_STOP:
        (*self->padEos)[index] = false;
        break;
    default:
        break;
    }
    // A sink: caps were checked against the pad template, nothing goes further.
    gst_event_unref(event);
    return TRUE;
}

static GstStateChangeReturn gst_tideline_rtp_render_change_state(GstElement *element, GstStateChange transition)
{
    auto *self = GST_TIDELINE_RTP_RENDER(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        for (auto &eos : *self->padEos)
            eos = false;
        self->filter->Pause();
    } else if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING) {
        self->filter->Run();
    }
    const GstStateChangeReturn result =
        GST_ELEMENT_CLASS(gst_tideline_rtp_render_parent_class)->change_state(element, transition);
    if (result == GST_STATE_CHANGE_FAILURE) {
        if (transition == GST_STATE_CHANGE_READY_TO_PAUSED)
            self->filter->Stop(); // the element stays in READY: no channel stays open
        return result;
    }
    if (transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED) {
        self->filter->Pause();
    } else if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        // The pads are inactive now, so no chain function is left running.
        self->filter->Stop();
    }
    return result;
}

static void gst_tideline_rtp_render_set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    auto *self = GST_TIDELINE_RTP_RENDER(object);
    const char *text = G_VALUE_HOLDS_STRING(value) && g_value_get_string(value) ? g_value_get_string(value) : "";
    switch (id) {
    case PROP_ADDRESS:
        self->filter->SetPeerAddress(text);
        break;
    case PROP_PORT:
        self->filter->SetPort(g_value_get_int(value));
        break;
    case PROP_BIND_ADDRESS:
        self->filter->SetBindAddress(text);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void gst_tideline_rtp_render_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    auto *self = GST_TIDELINE_RTP_RENDER(object);
    std::string address;
    int port = 0;
    self->filter->GetDestination(address, port);
    switch (id) {
    case PROP_ADDRESS:
        g_value_set_string(value, address.c_str());
        break;
    case PROP_PORT:
        g_value_set_int(value, port);
        break;
    case PROP_BIND_ADDRESS:
        g_value_set_string(value, self->filter->BindAddress().c_str());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void SetDestination(TidelineRtpRenderConfig *config, const gchar *address, gint port)
{
    GST_TIDELINE_RTP_RENDER(config)->filter->SetDestination(address ? address : "", port);
}

static void GetDestination(TidelineRtpRenderConfig *config, gchar **address, gint *port)
{
    std::string stored;
    GST_TIDELINE_RTP_RENDER(config)->filter->GetDestination(stored, *port);
    *address = g_strdup(stored.c_str());
}

static void gst_tideline_rtp_render_config_init(TidelineRtpRenderConfigInterface *iface)
{
    iface->set_destination = SetDestination;
    iface->get_destination = GetDestination;
}

static void gst_tideline_rtp_render_finalize(GObject *object)
{
    auto *self = GST_TIDELINE_RTP_RENDER(object);
    delete self->filter; // closes a channel still open, without BYE
    delete self->padEos;
    G_OBJECT_CLASS(gst_tideline_rtp_render_parent_class)->finalize(object);
}

static void gst_tideline_rtp_render_init(GstTidelineRtpRender *self)
{
    self->filter = new CRtpRenderFilter();
    self->padEos = new std::array<std::atomic<bool>, 2>{};
    GstStaticPadTemplate *templates[2] = {&videoTemplate, &audioTemplate};
    for (std::size_t i = 0; i < 2; ++i) {
        GstPad *pad = gst_pad_new_from_static_template(templates[i], templates[i]->name_template);
        gst_pad_set_chain_function(pad, gst_tideline_rtp_render_chain);
        gst_pad_set_event_function(pad, gst_tideline_rtp_render_event);
        GST_PAD_SET_ACCEPT_TEMPLATE(pad);
        gst_element_add_pad(GST_ELEMENT(self), pad);
        self->pads[i] = pad;
    }
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SINK);
}

static void gst_tideline_rtp_render_class_init(GstTidelineRtpRenderClass *klass)
{
    GST_DEBUG_CATEGORY_INIT(tideline_render_debug, "tidelinertprender", 0, "Tideline RTP render");
    auto *objectClass = G_OBJECT_CLASS(klass);
    auto *elementClass = GST_ELEMENT_CLASS(klass);
    objectClass->set_property = gst_tideline_rtp_render_set_property;
    objectClass->get_property = gst_tideline_rtp_render_get_property;
    objectClass->finalize = gst_tideline_rtp_render_finalize;
    elementClass->change_state = gst_tideline_rtp_render_change_state;

    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        objectClass, PROP_ADDRESS,
        g_param_spec_string("address", "Peer address",
                            "Address (dotted IPv4 or host name) the streams are sent to; used from the next "
                            "change from READY to PAUSED",
                            kestrel::filters::kDefaultPeerAddress, flags));
    g_object_class_install_property(
        objectClass, PROP_PORT,
        g_param_spec_int("port", "Port", "Video is sent to this port and audio to the port 2 below", 0, 65535,
                         kestrel::filters::kDefaultMediaPort, flags));
    g_object_class_install_property(
        objectClass, PROP_BIND_ADDRESS,
        g_param_spec_string("bind-address", "Local address",
                            "Local address the streams are sent from (empty: any)", "", flags));

    gst_element_class_add_static_pad_template(elementClass, &videoTemplate);
    gst_element_class_add_static_pad_template(elementClass, &audioTemplate);
    gst_element_class_set_static_metadata(elementClass, TIDELINE_RTP_RENDER_LONG_NAME, "Sink/Network",
                                          "Sends compressed video and audio samples to a peer as RTP over UDP",
                                          "The Kestrel developers");
    gst_element_class_add_static_metadata(elementClass, TIDELINE_METADATA_CLASS_ID, TIDELINE_RTP_RENDER_CLASS_ID);
    gst_element_class_add_static_metadata(elementClass, TIDELINE_METADATA_PROPERTY_PAGE,
                                          TIDELINE_RTP_RENDER_PAGE_ID);
}
