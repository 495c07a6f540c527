#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>

namespace kestrel::filters::test {

// Initialises GStreamer once and checks that the Tideline plugin comes from
// the build tree, never from an installed copy.
void InitGstreamerWithBuildTreePlugin();

struct GstObjectDeleter {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template <typename T> using GstRef = std::unique_ptr<T, GstObjectDeleter>;

// A pipeline that is set to NULL and released when it goes out of scope.
class ScopedPipeline {
public:
    explicit ScopedPipeline(const std::string &description);
    ~ScopedPipeline();
    ScopedPipeline(const ScopedPipeline &) = delete;
    ScopedPipeline &operator=(const ScopedPipeline &) = delete;

    GstElement *Get() const { return pipeline; }
    GstElement *Element(const char *name) const; // borrowed
    // Links two pads by name; gst-launch syntax cannot name pads with spaces.
    bool Link(const char *from, const char *fromPad, const char *to, const char *toPad);
    // Sets the state; false when the change failed.
    bool SetState(GstState state);
    // The first error message on the bus, if any (empty when none).
    std::string PendingError() const;

private:
    GstElement *pipeline = nullptr;
};

} // namespace kestrel::filters::test
