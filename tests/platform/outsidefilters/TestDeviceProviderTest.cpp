#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gst/GstRef.h"
#include "platform/outsidefilters/testpattern/TestDeviceSwitch.h"

using kestrel::platform::GCharPtr;
using kestrel::platform::GstMiniRef;
using kestrel::platform::GstRef;
using kestrel::testpattern::kTestDevicesVariable;
using kestrel::testpattern::TestDevicesWanted;

// A stand-in for a real camera's provider, registered at the rank pipewire's
// has (the highest of the real ones): the test devices must not hide it, and
// must come before it when they are wanted. The machine's own providers are
// taken out of the registry, so what they find (or fail to find: pulse
// without a sound server) does not change the lists.
struct FakeCamera {
  GstDevice parent;
};
struct FakeCameraClass {
  GstDeviceClass parent;
};
G_DEFINE_TYPE(FakeCamera, fake_camera, GST_TYPE_DEVICE)
static GstElement* fake_camera_create_element(GstDevice*, const gchar* name) {
  return gst_element_factory_make("videotestsrc", name);
}
static void fake_camera_class_init(FakeCameraClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = fake_camera_create_element;
}
static void fake_camera_init(FakeCamera*) {}

struct FakeCameraProvider {
  GstDeviceProvider parent;
};
struct FakeCameraProviderClass {
  GstDeviceProviderClass parent;
};
G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)
static GList* fake_camera_provider_probe(GstDeviceProvider*) {
  GstMiniRef<GstCaps> caps(gst_caps_from_string("video/x-raw"));
  return g_list_append(nullptr, g_object_new(fake_camera_get_type(), "display-name", "USB Camera", "device-class",
                                             "Video/Source", "caps", caps.get(), nullptr));
}
static void fake_camera_provider_class_init(FakeCameraProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = fake_camera_provider_probe;
  gst_device_provider_class_set_static_metadata(provider, "Fake camera provider", "Source/Video",
                                                "A real camera, in a test", "Kestrel developers");
}
static void fake_camera_provider_init(FakeCameraProvider*) {}

namespace {

struct Listed {
  std::string name;
  std::string deviceClass;
};

class TestDeviceProvider : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gst_init(nullptr, nullptr);
    GstRegistry* registry = gst_registry_get();
    GList* providers = gst_registry_get_feature_list(registry, GST_TYPE_DEVICE_PROVIDER_FACTORY);
    for (GList* p = providers; p != nullptr; p = p->next) {
      if (std::string(GST_OBJECT_NAME(p->data)) != "kestreltestdeviceprovider") {
        gst_registry_remove_feature(registry, GST_PLUGIN_FEATURE(p->data));
      }
    }
    gst_plugin_feature_list_free(providers);
    ASSERT_TRUE(gst_device_provider_register(nullptr, "kestrelfakecameraprovider", GST_RANK_PRIMARY + 1,
                                             fake_camera_provider_get_type()));
  }
  void TearDown() override { g_unsetenv(kTestDevicesVariable); }

  // What a monitor for cameras and microphones lists, in order; probed, or
  // from started providers.
  static std::vector<Listed> Devices(bool start) {
    GstRef<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    if (start) {
      EXPECT_TRUE(gst_device_monitor_start(monitor.get()));
    }
    std::vector<Listed> listed;
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* d = devices; d != nullptr; d = d->next) {
      GCharPtr name(gst_device_get_display_name(GST_DEVICE(d->data)));
      GCharPtr deviceClass(gst_device_get_device_class(GST_DEVICE(d->data)));
      listed.push_back({name.get(), deviceClass.get()});
    }
    g_list_free_full(devices, gst_object_unref);
    if (start) gst_device_monitor_stop(monitor.get());
    return listed;
  }

  // The device of that name, from a probing monitor.
  static GstRef<GstDevice> Device(const std::string& name) {
    GstRef<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), nullptr, nullptr);
    GstRef<GstDevice> found;
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* d = devices; d != nullptr; d = d->next) {
      GCharPtr displayName(gst_device_get_display_name(GST_DEVICE(d->data)));
      if (!found && name == displayName.get()) found.reset(GST_DEVICE(gst_object_ref(d->data)));
    }
    g_list_free_full(devices, gst_object_unref);
    return found;
  }
};

}  // namespace

TEST_F(TestDeviceProvider, ListsBothTestDevicesFirstWhenWantedBesideTheRealOnes) {
  g_setenv(kTestDevicesVariable, "1", TRUE);
  for (bool start : {false, true}) {
    SCOPED_TRACE(start ? "started" : "probed");
    const auto listed = Devices(start);
    ASSERT_EQ(listed.size(), 3U);
    EXPECT_EQ(listed[0].name, "Kestrel Test Camera");
    EXPECT_EQ(listed[0].deviceClass, "Video/Source");
    EXPECT_EQ(listed[1].name, "Kestrel Test Microphone");
    EXPECT_EQ(listed[1].deviceClass, "Audio/Source");
    EXPECT_EQ(listed[2].name, "USB Camera") << "the real camera is listed after them";
  }
}

TEST_F(TestDeviceProvider, ListsNeitherUnlessWanted) {
  for (const char* value : {static_cast<const char*>(nullptr), "", "0", "off"}) {
    SCOPED_TRACE(value ? value : "(unset)");
    if (value != nullptr) {
      g_setenv(kTestDevicesVariable, value, TRUE);
    } else {
      g_unsetenv(kTestDevicesVariable);
    }
    for (bool start : {false, true}) {
      const auto listed = Devices(start);
      ASSERT_EQ(listed.size(), 1U) << "only the real camera, as without the provider";
      EXPECT_EQ(listed[0].name, "USB Camera");
    }
  }
}

TEST_F(TestDeviceProvider, DevicesCreateTheTestSourcesWithTheirCaps) {
  g_setenv(kTestDevicesVariable, "1", TRUE);
  const struct {
    const char* device;
    const char* factory;
    const char* caps;
  } expected[] = {
      {"Kestrel Test Camera", "kestreltestcamerasrc", "video/x-raw, format=I420, width=176, height=144"},
      {"Kestrel Test Microphone", "kestreltestmicrophonesrc", "audio/x-raw, format=S16LE, rate=48000, channels=1"},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.device);
    GstRef<GstDevice> device = Device(e.device);
    ASSERT_TRUE(device);
    GstMiniRef<GstCaps> caps(gst_device_get_caps(device.get()));
    GstMiniRef<GstCaps> wanted(gst_caps_from_string(e.caps));
    EXPECT_TRUE(gst_caps_can_intersect(caps.get(), wanted.get()));

    GstRef<GstElement> element(gst_device_create_element(device.get(), "capture"));
    ASSERT_TRUE(element);
    gst_object_ref_sink(element.get());
    EXPECT_STREQ(GST_OBJECT_NAME(gst_element_get_factory(element.get())), e.factory);
    EXPECT_STREQ(GST_OBJECT_NAME(element.get()), "capture");
    GstRef<GstPad> src(gst_element_get_static_pad(element.get(), "src"));
    EXPECT_TRUE(src);
  }
}

TEST_F(TestDeviceProvider, ElementsAreFoundOnlyByNameAndComeFromThisPlugin) {
  for (const char* factory : {"kestreltestcamerasrc", "kestreltestmicrophonesrc"}) {
    GstRef<GstElementFactory> found(gst_element_factory_find(factory));
    ASSERT_TRUE(found) << factory;
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(found.get())), guint(GST_RANK_NONE));
    GstRef<GstPlugin> plugin(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(found.get())));
    ASSERT_TRUE(plugin);
    EXPECT_STREQ(gst_plugin_get_filename(plugin.get()), std::getenv("KESTREL_OUTSIDE_PLUGIN"));
  }
  GstRef<GstElementFactory> camera(gst_element_factory_find("kestreltestcamerasrc"));
  EXPECT_STREQ(gst_element_factory_get_metadata(camera.get(), GST_ELEMENT_METADATA_LONGNAME),
               "Kestrel Test Camera Source");
  GstRef<GstElementFactory> microphone(gst_element_factory_find("kestreltestmicrophonesrc"));
  EXPECT_STREQ(gst_element_factory_get_metadata(microphone.get(), GST_ELEMENT_METADATA_LONGNAME),
               "Kestrel Test Microphone Source");
}

TEST(TestDeviceSwitch, AnyValueButAnOffWordTurnsTheDevicesOn) {
  EXPECT_FALSE(TestDevicesWanted(nullptr));
  for (const char* off : {"", "0", "no", "off", "false", "OFF", "False"}) EXPECT_FALSE(TestDevicesWanted(off)) << off;
  for (const char* on : {"1", "yes", "on", "true", "2"}) EXPECT_TRUE(TestDevicesWanted(on)) << on;
}
