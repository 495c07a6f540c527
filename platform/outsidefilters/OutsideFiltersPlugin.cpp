// Registers the outside filters: the stand-ins for the filters the call's
// graphs find by their friendly names. Each carries that name as its long
// name and rank none, so only an explicit lookup ever picks it.
//
// One registration per line: every element lives in its own file.

#include <gst/gst.h>

#include "platform/outsidefilters/AcmWrapper.h"
#include "platform/outsidefilters/H263DecodeFilter.h"
#include "platform/outsidefilters/H263EncodeFilter.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/SmartTee.h"
#include "platform/outsidefilters/TestCameraSource.h"
#include "platform/outsidefilters/TestDeviceProvider.h"
#include "platform/outsidefilters/TestMicrophoneSource.h"
#include "platform/outsidefilters/TrueSpeechCompressor.h"
#include "platform/outsidefilters/TrueSpeechEncode.h"
#include "platform/outsidefilters/Video3DRenderer.h"
#include "platform/outsidefilters/VideoRenderer.h"

using namespace kestrel::outsidefilters;

static gboolean plugin_init(GstPlugin* plugin) {
  gboolean ok = TRUE;
  ok &= gst_element_register(plugin, kTrueSpeechFactory, GST_RANK_NONE, KESTREL_TYPE_TRUESPEECH_COMPRESSOR);
  ok &= gst_element_register(plugin, "kestreltruespeechenc", GST_RANK_NONE, KESTREL_TYPE_TRUESPEECH_ENCODE);
  ok &= gst_element_register(plugin, kH263EncodeFactory, GST_RANK_NONE, KESTREL_TYPE_H263_ENCODE_FILTER);
  ok &= gst_element_register(plugin, kH263DecodeFactory, GST_RANK_NONE, KESTREL_TYPE_H263_DECODE_FILTER);
  ok &= gst_element_register(plugin, kAcmWrapperFactory, GST_RANK_NONE, KESTREL_TYPE_ACM_WRAPPER);
  ok &= gst_element_register(plugin, kSmartTeeFactory, GST_RANK_NONE, KESTREL_TYPE_SMART_TEE);
  ok &= gst_element_register(plugin, kVideoRendererFactory, GST_RANK_NONE, KESTREL_TYPE_VIDEO_RENDERER);
  ok &= gst_element_register(plugin, kVideo3DRendererFactory, GST_RANK_NONE, KESTREL_TYPE_VIDEO3D_RENDERER);
  // The test camera and microphone, and the provider that offers them as devices.
  ok &= gst_element_register(plugin, "kestreltestcamerasrc", GST_RANK_NONE, KESTREL_TYPE_TEST_CAMERA_SOURCE);
  ok &= gst_element_register(plugin, "kestreltestmicrophonesrc", GST_RANK_NONE, KESTREL_TYPE_TEST_MICROPHONE_SOURCE);
  ok &= gst_device_provider_register(plugin, "kestreltestdeviceprovider", KESTREL_TEST_DEVICE_PROVIDER_RANK,
                                     KESTREL_TYPE_TEST_DEVICE_PROVIDER);
  return ok;
}

#define PACKAGE "kestrel"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, kestreloutside,
                  "Kestrel's stand-ins for the outside filters of its media graphs", plugin_init, "0.1.0",
                  "GPL", "Kestrel", "https://kestrel.invalid/")
