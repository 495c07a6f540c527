#pragma once
// kestreltestdeviceprovider: offers "Kestrel Test Camera" (Video/Source) and
// "Kestrel Test Microphone" (Audio/Source) to GStreamer's device monitor
// while KESTREL_TEST_DEVICES is set (testpattern/TestDeviceSwitch.h); with
// the variable unset it offers nothing. Each device creates its source
// element (kestreltestcamerasrc, kestreltestmicrophonesrc) through
// gst_device_create_element.
//
// The monitor only uses providers of rank marginal or above, and lists
// devices provider by provider in order of rank. This provider is ranked
// above every real one (v4l2, pulse and alsa are primary or below, pipewire
// primary + 1), so the test devices come first when they are wanted, before
// any real camera or microphone, which are still listed after them.
//
// Example:
//   KESTREL_TEST_DEVICES=1 gst-device-monitor-1.0 Video/Source Audio/Source

#include <gst/gst.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_TEST_DEVICE_PROVIDER (kestrel_test_device_provider_get_type())
G_DECLARE_FINAL_TYPE(KestrelTestDeviceProvider, kestrel_test_device_provider, KESTREL, TEST_DEVICE_PROVIDER,
                     GstDeviceProvider)

#define KESTREL_TYPE_TEST_DEVICE (kestrel_test_device_get_type())
G_DECLARE_FINAL_TYPE(KestrelTestDevice, kestrel_test_device, KESTREL, TEST_DEVICE, GstDevice)

// The provider's rank: above pipewire's primary + 1.
#define KESTREL_TEST_DEVICE_PROVIDER_RANK (GST_RANK_PRIMARY + 100)

G_END_DECLS
