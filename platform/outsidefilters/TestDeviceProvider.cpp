#include "platform/outsidefilters/TestDeviceProvider.h"

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/TestCameraSource.h"
#include "platform/outsidefilters/TestMicrophoneSource.h"
#include "platform/outsidefilters/testpattern/TestDeviceSwitch.h"

using kestrel::platform::GstMiniRef;

struct _KestrelTestDevice {
  GstDevice parent;
  const char* factory;  // the element it creates, a static string
};

G_DEFINE_TYPE(KestrelTestDevice, kestrel_test_device, GST_TYPE_DEVICE)

struct _KestrelTestDeviceProvider {
  GstDeviceProvider parent;
};

G_DEFINE_TYPE(KestrelTestDeviceProvider, kestrel_test_device_provider, GST_TYPE_DEVICE_PROVIDER)

namespace {

GstElement* createElement(GstDevice* device, const gchar* name) {
  return gst_element_factory_make(reinterpret_cast<KestrelTestDevice*>(device)->factory, name);
}

GstDevice* NewDevice(const char* displayName, const char* deviceClass, GstCaps* caps, const char* factory) {
  GstMiniRef<GstCaps> ownedCaps(caps);
  GstStructure* properties = gst_structure_new("kestrel-test-device", "device.api", G_TYPE_STRING, "kestrel-test",
                                               "element.factory", G_TYPE_STRING, factory, nullptr);
  auto* device = static_cast<KestrelTestDevice*>(g_object_new(KESTREL_TYPE_TEST_DEVICE, "display-name", displayName,
                                                              "device-class", deviceClass, "caps", caps,
                                                              "properties", properties, nullptr));
  gst_structure_free(properties);
  device->factory = factory;
  return GST_DEVICE(device);
}

// Floating devices, camera first; none unless they are wanted.
GList* probe(GstDeviceProvider*) {
  if (!kestrel::testpattern::TestDevicesWanted()) return nullptr;
  GList* devices = nullptr;
  devices = g_list_append(devices, NewDevice("Kestrel Test Camera", "Video/Source",
                                             kestrel_test_camera_source_template_caps(), "kestreltestcamerasrc"));
  devices = g_list_append(devices, NewDevice("Kestrel Test Microphone", "Audio/Source",
                                             kestrel_test_microphone_source_template_caps(),
                                             "kestreltestmicrophonesrc"));
  return devices;
}

}  // namespace

static void kestrel_test_device_class_init(KestrelTestDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = createElement;
}

static void kestrel_test_device_init(KestrelTestDevice* self) { self->factory = nullptr; }

static void kestrel_test_device_provider_class_init(KestrelTestDeviceProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = probe;
  gst_device_provider_class_set_static_metadata(provider, "Kestrel Test Device Provider", "Source/Video/Audio",
                                                "Offers the Kestrel test camera and microphone when "
                                                "KESTREL_TEST_DEVICES is set",
                                                "Kestrel developers");
}

static void kestrel_test_device_provider_init(KestrelTestDeviceProvider*) {}
