#pragma once

#include "media/DeviceList.h"
#include "media/MediaResult.h"

#include <gst/gst.h>

#include <string>

namespace kestrel::media {

// Capture filters: a device's source element in a bin whose one always src
// pad is "Capture" (there is no "Preview" pad, as on most webcams).
//
//   camera:     source ! videoconvert ! videoscale ! capsfilter name=capture-format
//   microphone: source ! audioconvert ! audioresample ! capsfilter name=capture-format
//               [ ! audiobuffersplit name=capture-buffers, after SuggestAudioBuffer ]
//
// The converters let the "Capture" pad give any raw format, so the choices
// intelligent connect makes from caps before the pipeline runs hold once the
// device delivers; they pass the data through when the device already
// captures what is asked. Microphones capture 16-bit mono at 48 kHz.
inline constexpr const char *kCapturePadName = "Capture";
inline constexpr const char *kCaptureFormatName = "capture-format";
inline constexpr const char *kCaptureBuffersName = "capture-buffers";
inline constexpr int kMicrophoneRate = 48000;
inline constexpr unsigned kSuggestedAudioBufferBytes = 4000; // about 42 ms of 48 kHz mono

// Wraps `source` (taking a floating reference) into a capture filter named
// `name`; null (and `source` released) when the stock elements are missing.
GstElement *WrapCaptureElement(GstElement *source, DeviceCategory category, const std::string &name);
// The device's element, wrapped and named after the device; null when the
// device gives no element.
GstElement *CreateCaptureFilter(const ICaptureDevice &device);

// The "Capture" pad's format: only the width and height are changed. Does
// nothing (False) for a filter without a video "Capture" pad made by
// WrapCaptureElement.
HResult SetCaptureSize(GstElement *filter, int width, int height);
// Asks for 4000-byte buffers on the "Capture" pad, in the format the device
// captures in (about 42 ms): the device is asked for buffers of that length
// (an audio source's period, another source's block size), and what it
// delivers otherwise is regrouped to that size. Does nothing (False) for a
// filter without an audio "Capture" pad made by WrapCaptureElement.
HResult SuggestAudioBuffer(GstElement *filter);

} // namespace kestrel::media
