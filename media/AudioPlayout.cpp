#include "media/AudioPlayout.h"

#include "platform/gst/GstRef.h"

#include <gst/base/gstbasesink.h>

#include <algorithm>

namespace kestrel::media {

using platform::GstMiniRef;
using platform::GstRef;

bool CAudioPlayout::Take(const HandOver &buffer)
{
    const std::int64_t due = buffer.playNs ? std::max(*buffer.playNs, buffer.handedNs) : buffer.handedNs;
    if (!playedUntilNs) {
        playedUntilNs = due + buffer.durationNs;
        return false;
    }
    const std::int64_t expected = *playedUntilNs;
    std::int64_t start = expected; // continues what plays
    bool gap = false;
    if (buffer.discontinuous || buffer.handedNs > expected + kToleranceNs) {
        gap = true; // data missing, or the card ran dry before it came
        start = due;
    } else if (buffer.playNs && (*buffer.playNs > expected + kAlignmentNs || *buffer.playNs < expected - kAlignmentNs)) {
        gap = true; // the timeline jumps: silence, or audio skipped
        start = due;
    }
    playedUntilNs = std::max(expected, start + buffer.durationNs);
    gaps += gap;
    return gap;
}

namespace {

// The sink that plays what `pad` pushes: the peer's element, or the first
// base sink inside it (fakeaudiosink and other sink bins).
GstRef<GstElement> SinkBehind(GstPad *pad)
{
    GstRef<GstPad> peer(gst_pad_get_peer(pad));
    if (!peer)
        return nullptr;
    GstRef<GstElement> element(gst_pad_get_parent_element(peer.get()));
    if (!element)
        return nullptr;
    if (GST_IS_BASE_SINK(element.get()))
        return element;
    if (!GST_IS_BIN(element.get()))
        return nullptr;
    GstRef<GstElement> found;
    GstIterator *sinks = gst_bin_iterate_sinks(GST_BIN(element.get()));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        auto *child = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_BASE_SINK(child))
            found = platform::RefObject(child);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sinks);
    return found;
}

} // namespace

std::optional<CAudioPlayout::HandOver> DescribeHandOver(GstPad *pad, GstBuffer *buffer, const GstAudioInfo &format)
{
    if (format.bpf <= 0 || format.rate <= 0)
        return std::nullopt;
    GstRef<GstElement> sink = SinkBehind(pad);
    if (!sink)
        return std::nullopt;
    GstRef<GstClock> clock(gst_element_get_clock(sink.get()));
    if (!clock)
        return std::nullopt;
    CAudioPlayout::HandOver handOver;
    handOver.handedNs = static_cast<std::int64_t>(gst_clock_get_time(clock.get()));
    const guint64 samples = gst_buffer_get_size(buffer) / format.bpf;
    handOver.durationNs = static_cast<std::int64_t>(gst_util_uint64_scale_int(samples, GST_SECOND, format.rate));
    handOver.discontinuous = GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    GstBaseSink *baseSink = GST_BASE_SINK(sink.get());
    if (!gst_base_sink_get_sync(baseSink) || !GST_BUFFER_PTS_IS_VALID(buffer))
        return handOver;
    GstMiniRef<GstEvent> segmentEvent(gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0));
    if (!segmentEvent)
        return handOver;
    const GstSegment *segment = nullptr;
    gst_event_parse_segment(segmentEvent.get(), &segment);
    const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return handOver;
    const GstClockTime latency = gst_base_sink_get_latency(baseSink);
    handOver.playNs = static_cast<std::int64_t>(gst_element_get_base_time(sink.get()) + running) +
                      static_cast<std::int64_t>(GST_CLOCK_TIME_IS_VALID(latency) ? latency : 0) +
                      gst_base_sink_get_ts_offset(baseSink);
    return handOver;
}

} // namespace kestrel::media
