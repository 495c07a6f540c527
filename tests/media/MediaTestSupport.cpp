#include "MediaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrel::media::test {

namespace {

// ---- the test renderer: Input ! capsfilter(BGRx) ! fakesink, as a bin ----

struct KestrelTestRenderer {
    GstBin parent;
    GstElement *sink;
    guint64 framesShown; // under the object lock
};
struct KestrelTestRendererClass {
    GstBinClass parent_class;
};

G_DEFINE_TYPE(KestrelTestRenderer, kestrel_test_renderer, GST_TYPE_BIN)

guint frameShownSignal = 0;
enum { PROP_0, PROP_FRAMES_SHOWN };

GstStaticPadTemplate rendererInput =
    GST_STATIC_PAD_TEMPLATE("Input", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=(string)BGRx"));

void OnHandoff(GstElement *, GstBuffer *buffer, GstPad *pad, gpointer data)
{
    auto *self = static_cast<KestrelTestRenderer *>(data);
    GstMiniRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    GstMiniRef<GstSample> sample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    GST_OBJECT_LOCK(self);
    ++self->framesShown;
    GST_OBJECT_UNLOCK(self);
    g_signal_emit(self, frameShownSignal, 0, sample.get());
}

void kestrel_test_renderer_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    auto *self = reinterpret_cast<KestrelTestRenderer *>(object);
    if (id != PROP_FRAMES_SHOWN) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_value_set_uint64(value, self->framesShown);
    GST_OBJECT_UNLOCK(self);
}

void kestrel_test_renderer_class_init(KestrelTestRendererClass *klass)
{
    GObjectClass *objectClass = G_OBJECT_CLASS(klass);
    GstElementClass *elementClass = GST_ELEMENT_CLASS(klass);
    objectClass->get_property = kestrel_test_renderer_get_property;
    g_object_class_install_property(objectClass, PROP_FRAMES_SHOWN,
                                    g_param_spec_uint64("frames-shown", "Frames shown", "Frames shown so far", 0,
                                                        G_MAXUINT64, 0, G_PARAM_READABLE));
    frameShownSignal = g_signal_new("frame-shown", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                                    nullptr, G_TYPE_NONE, 1, GST_TYPE_SAMPLE);
    gst_element_class_add_static_pad_template(elementClass, &rendererInput);
    gst_element_class_set_static_metadata(elementClass, kTestRendererName, "Sink/Video", "Shows frames in tests",
                                          "Kestrel");
    const std::string pages = std::string(kTestPageA) + ";" + kTestPageB;
    gst_element_class_add_metadata(elementClass, "kestrel-property-page", pages.c_str());
}

void kestrel_test_renderer_init(KestrelTestRenderer *self)
{
    self->framesShown = 0;
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstMiniRef<GstCaps> caps(gst_caps_from_string("video/x-raw, format=(string)BGRx"));
    g_object_set(filter, "caps", caps.get(), nullptr);
    self->sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(self->sink, "signal-handoffs", TRUE, "sync", FALSE, nullptr);
    g_signal_connect(self->sink, "handoff", G_CALLBACK(OnHandoff), self);
    gst_bin_add_many(GST_BIN(self), filter, self->sink, nullptr);
    gst_element_link(filter, self->sink);
    GstRef<GstPad> target(gst_element_get_static_pad(filter, "sink"));
    GstPadTemplate *templ = gst_static_pad_template_get(&rendererInput);
    gst_element_add_pad(GST_ELEMENT(self), gst_ghost_pad_new_from_template("Input", target.get(), templ));
    gst_object_unref(templ);
}

// ---- the test converter: pads only ----

struct KestrelTestConverter {
    GstElement parent;
};
struct KestrelTestConverterClass {
    GstElementClass parent_class;
};

G_DEFINE_TYPE(KestrelTestConverter, kestrel_test_converter, GST_TYPE_ELEMENT)

GstStaticPadTemplate converterSink =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("application/x-kestrel-test"));
GstStaticPadTemplate converterSrc =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=(string)BGRx"));

void kestrel_test_converter_class_init(KestrelTestConverterClass *klass)
{
    GstElementClass *elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &converterSink);
    gst_element_class_add_static_pad_template(elementClass, &converterSrc);
    gst_element_class_set_static_metadata(elementClass, "Kestrel Test Converter", "Filter/Converter/Video",
                                          "Bridges a test format to video", "Kestrel");
}

void kestrel_test_converter_init(KestrelTestConverter *self)
{
    gst_element_add_pad(GST_ELEMENT(self), gst_pad_new_from_static_template(&converterSink, "sink"));
    gst_element_add_pad(GST_ELEMENT(self), gst_pad_new_from_static_template(&converterSrc, "src"));
}

} // namespace

void InitGstreamerForMediaTests()
{
    static bool done = [] {
        // Set here rather than through CTest so the binary behaves the same
        // when run by hand.
        setenv("GST_PLUGIN_PATH_1_0", KESTREL_TEST_PLUGIN_DIR, 1);
        setenv("GST_PLUGIN_SYSTEM_PATH_1_0", GST_SYSTEM_PLUGIN_DIR, 1);
        setenv("GST_REGISTRY_1_0", KESTREL_TEST_REGISTRY, 1);
        setenv("GST_REGISTRY_FORK", "no", 1); // sanitizer builds cannot use the scanner
        gst_init(nullptr, nullptr);
        gst_element_register(nullptr, kTestRendererFactory, GST_RANK_NONE, kestrel_test_renderer_get_type());
        gst_element_register(nullptr, kTestConverterFactory, GST_RANK_NONE, kestrel_test_converter_get_type());
        return true;
    }();
    (void)done;
}

GstRef<GstElement> MakeElement(const char *factory, const char *name)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element) {
        ADD_FAILURE() << "no element " << factory;
        return nullptr;
    }
    return GstRef<GstElement>(GST_ELEMENT(gst_object_ref_sink(element)));
}

GstRef<GstElement> ParseElement(const std::string &description)
{
    GError *error = nullptr;
    GstElement *element = gst_parse_launch(description.c_str(), &error);
    if (error) {
        ADD_FAILURE() << description << ": " << error->message;
        g_clear_error(&error);
    }
    return GstRef<GstElement>(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

std::string FactoryName(GstElement *element)
{
    GstElementFactory *factory = element ? gst_element_get_factory(element) : nullptr;
    return factory ? GST_OBJECT_NAME(factory) : std::string();
}

std::vector<std::string> FactoryNames(GstBin *bin)
{
    std::vector<std::string> names;
    GST_OBJECT_LOCK(bin);
    for (GList *item = bin->children; item; item = item->next)
        names.insert(names.begin(), FactoryName(GST_ELEMENT(item->data)));
    GST_OBJECT_UNLOCK(bin);
    return names;
}

std::vector<std::string> ChildNames(GstBin *bin)
{
    std::vector<std::string> names;
    GST_OBJECT_LOCK(bin);
    for (GList *item = bin->children; item; item = item->next)
        names.insert(names.begin(), GST_OBJECT_NAME(item->data));
    GST_OBJECT_UNLOCK(bin);
    return names;
}

GstRef<GstElement> UpstreamOf(GstElement *element)
{
    GstRef<GstPad> sink;
    GST_OBJECT_LOCK(element);
    if (element->sinkpads)
        sink.reset(GST_PAD(gst_object_ref(element->sinkpads->data)));
    GST_OBJECT_UNLOCK(element);
    if (!sink)
        return nullptr;
    GstRef<GstPad> peer(gst_pad_get_peer(sink.get()));
    return GstRef<GstElement>(peer ? gst_pad_get_parent_element(peer.get()) : nullptr);
}

bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        // Blocks until something is dispatched or 5 ms pass.
        GMainContext *context = g_main_context_default();
        GSource *tick = g_timeout_source_new(5);
        g_source_set_callback(tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
    }
    return true;
}

} // namespace kestrel::media::test
