#include "GstTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kestrel::filters::test {

namespace {

bool gstreamerStarted = false;
std::vector<std::string> leakWarnings;

void RecordLeakWarning(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer)
{
    if (message && std::strstr(message, "Leaks detected"))
        leakWarnings.emplace_back(message);
    g_log_default_handler(domain, level, message, nullptr);
}

// Ends GStreamer after the last test. With GST_TRACERS=leaks (the element
// tests set it), gst_deinit lists every GStreamer object still alive and
// warns; that warning fails the run, so a reference our elements or tests
// forget to drop is a failure, not a line in a log.
class GstreamerLeakCheck : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (!gstreamerStarted)
            return;
        g_log_set_default_handler(RecordLeakWarning, nullptr);
        gst_deinit();
        for (const std::string &warning : leakWarnings)
            ADD_FAILURE() << "GStreamer objects leaked (GST_DEBUG=GST_TRACER:7 lists them): " << warning;
    }
};

const auto *const leakCheck = ::testing::AddGlobalTestEnvironment(new GstreamerLeakCheck);

} // namespace

void InitGstreamerWithBuildTreePlugin()
{
    static bool done = [] {
        // Set here rather than through CTest so the test binary behaves the
        // same when run by hand.
        setenv("GST_PLUGIN_PATH_1_0", TIDELINE_PLUGIN_BUILD_DIR, 1);
        setenv("GST_PLUGIN_SYSTEM_PATH_1_0", GST_SYSTEM_PLUGIN_DIR, 1);
        setenv("GST_REGISTRY_1_0", TIDELINE_TEST_REGISTRY, 1);
        // Scan in this process: a sanitizer build's plugin cannot be loaded
        // by the uninstrumented plugin scanner.
        setenv("GST_REGISTRY_FORK", "no", 1);
        gst_init(nullptr, nullptr);
        gstreamerStarted = true;
        return true;
    }();
    (void)done;
    GstRef<GstPlugin> plugin(gst_registry_find_plugin(gst_registry_get(), "tideline"));
    ASSERT_TRUE(plugin) << "the Tideline plugin was not found in the build tree";
    EXPECT_EQ(std::string(gst_plugin_get_filename(plugin.get())).rfind(TIDELINE_PLUGIN_BUILD_DIR, 0), 0u)
        << "loaded " << gst_plugin_get_filename(plugin.get());
}

ScopedPipeline::ScopedPipeline(const std::string &description)
{
    GError *error = nullptr;
    pipeline = gst_parse_launch(description.c_str(), &error);
    if (error) {
        ADD_FAILURE() << "cannot build '" << description << "': " << error->message;
        g_error_free(error);
    }
}

ScopedPipeline::~ScopedPipeline()
{
    if (pipeline) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
}

GstElement *ScopedPipeline::Element(const char *name) const
{
    GstElement *element = gst_bin_get_by_name(GST_BIN(pipeline), name);
    if (element)
        gst_object_unref(element); // the pipeline keeps it alive
    return element;
}

bool ScopedPipeline::Link(const char *from, const char *fromPad, const char *to, const char *toPad)
{
    GstElement *source = Element(from);
    GstElement *sink = Element(to);
    return source && sink && gst_element_link_pads(source, fromPad, sink, toPad);
}

bool ScopedPipeline::SetState(GstState state)
{
    // Live pipelines finish going to PLAYING only when the first sample
    // reaches the sinks, so this does not wait for that; the sources are
    // listening once the change to PAUSED is done, which is synchronous.
    return pipeline && gst_element_set_state(pipeline, state) != GST_STATE_CHANGE_FAILURE;
}

std::string ScopedPipeline::PendingError() const
{
    GstRef<GstBus> bus(gst_element_get_bus(pipeline));
    GstMessage *message = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR);
    if (!message)
        return {};
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error ? error->message : "error";
    g_clear_error(&error);
    gst_message_unref(message);
    return text;
}

} // namespace kestrel::filters::test
