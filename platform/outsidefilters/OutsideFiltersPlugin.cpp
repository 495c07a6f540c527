// Registers the outside filters: the stand-ins for the filters the call's
// graphs find by their friendly names. Each carries that name as its long
// name and rank none, so only an explicit lookup ever picks it.

#include <gst/gst.h>

#include "platform/outsidefilters/TestCameraSource.h"
#include "platform/outsidefilters/TestDeviceProvider.h"
#include "platform/outsidefilters/TestMicrophoneSource.h"
#include "platform/outsidefilters/TrueSpeechCompressor.h"
#include "platform/outsidefilters/TrueSpeechEncode.h"

static gboolean plugin_init(GstPlugin* plugin) {
  // The test camera and microphone, and the provider that offers them as devices.
  if (!gst_element_register(plugin, "kestreltestcamerasrc", GST_RANK_NONE, KESTREL_TYPE_TEST_CAMERA_SOURCE) ||
      !gst_element_register(plugin, "kestreltestmicrophonesrc", GST_RANK_NONE, KESTREL_TYPE_TEST_MICROPHONE_SOURCE) ||
      !gst_device_provider_register(plugin, "kestreltestdeviceprovider", KESTREL_TEST_DEVICE_PROVIDER_RANK,
                                    KESTREL_TYPE_TEST_DEVICE_PROVIDER)) {
    return FALSE;
  }
  return gst_element_register(plugin, "kestreltruespeech", GST_RANK_NONE, KESTREL_TYPE_TRUESPEECH_COMPRESSOR) &&
         gst_element_register(plugin, "kestreltruespeechenc", GST_RANK_NONE, KESTREL_TYPE_TRUESPEECH_ENCODE);
}

#define PACKAGE "kestrel"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, kestreloutside,
                  "Kestrel's stand-ins for the outside filters of its media graphs", plugin_init, "0.1.0",
                  "GPL", "Kestrel", "https://kestrel.invalid/")
