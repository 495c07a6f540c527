#pragma once

#include "platform/gst/GstRef.h"

#include <gst/gst.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kestrel::media::test {

using platform::GstMiniRef;
using platform::GstRef;

// Initialises GStreamer once with the build tree's plugins (never installed
// copies) and a registry file of this suite, and registers the test
// elements below.
void InitGstreamerForMediaTests();

// Test elements, all rank none unless a test changes it:
// "kestreltestrenderer", long name kTestRendererName: a BGRx video sink with
// sink pad "Input" that emits "frame-shown" (GstSample) on its streaming
// thread for every frame and counts them in "frames-shown"; its class names
// two property pages under "kestrel-property-page".
inline constexpr const char *kTestRendererFactory = "kestreltestrenderer";
inline constexpr const char *kTestRendererName = "Kestrel Test Frame Renderer";
inline constexpr const char *kTestPageA = "{7E1B6A52-0C43-4C55-9F0A-3A1D2F6B7C01}";
inline constexpr const char *kTestPageB = "{7E1B6A52-0C43-4C55-9F0A-3A1D2F6B7C02}";
// "kestreltestconverter", a "Filter/Converter/Video" from
// application/x-kestrel-test to BGRx video that never runs.
inline constexpr const char *kTestConverterFactory = "kestreltestconverter";
inline constexpr const char *kTestCaps = "application/x-kestrel-test";

// A new element owned by the caller (the floating reference taken).
GstRef<GstElement> MakeElement(const char *factory, const char *name = nullptr);
// An element from gst-launch syntax ("capsfilter caps=video/x-raw").
GstRef<GstElement> ParseElement(const std::string &description);

// The names of the factories of `bin`'s children, oldest first.
std::vector<std::string> FactoryNames(GstBin *bin);
std::vector<std::string> ChildNames(GstBin *bin);
// The element whose src pad feeds `element`'s first sink pad, or null.
GstRef<GstElement> UpstreamOf(GstElement *element);
std::string FactoryName(GstElement *element);

// Polls `condition` every few milliseconds of a GLib main-context iteration
// until it holds or `deadline` passes.
bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds deadline);

} // namespace kestrel::media::test
