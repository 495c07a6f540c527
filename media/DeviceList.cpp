#include "media/DeviceList.h"

#include <utility>

namespace kestrel::media {

namespace {

const char *DeviceClass(DeviceCategory category)
{
    return category == DeviceCategory::Video ? "Video/Source" : "Audio/Source";
}

class CGstCaptureDevice : public ICaptureDevice {
public:
    CGstCaptureDevice(GstRef<GstDevice> device, DeviceCategory category)
        : device(std::move(device)), category(category)
    {
    }
    std::string Name() const override
    {
        platform::GCharPtr name(gst_device_get_display_name(device.get()));
        return name ? name.get() : std::string();
    }
    DeviceCategory Category() const override { return category; }
    GstElement *CreateElement() const override { return gst_device_create_element(device.get(), nullptr); }
    std::string Property(const std::string &key) const override
    {
        const std::unique_ptr<GstStructure, decltype(&gst_structure_free)> properties(
            gst_device_get_properties(device.get()), gst_structure_free);
        const gchar *value = properties ? gst_structure_get_string(properties.get(), key.c_str()) : nullptr;
        return value ? value : std::string();
    }

private:
    GstRef<GstDevice> device;
    DeviceCategory category;
};

class CFakeCaptureDevice : public ICaptureDevice {
public:
    CFakeCaptureDevice(DeviceCategory category, std::string name, CFakeDeviceList::ElementMaker maker)
        : category(category), name(std::move(name)), maker(std::move(maker))
    {
    }
    std::string Name() const override { return name; }
    DeviceCategory Category() const override { return category; }
    GstElement *CreateElement() const override { return maker ? maker() : nullptr; }

private:
    DeviceCategory category;
    std::string name;
    CFakeDeviceList::ElementMaker maker;
};

} // namespace

std::shared_ptr<ICaptureDevice> FirstDevice(IDeviceList &devices, DeviceCategory category)
{
    CaptureDeviceList listed = devices.Enumerate(category);
    return listed.empty() ? nullptr : listed.front();
}

CaptureDeviceList CGstDeviceList::Enumerate(DeviceCategory category)
{
    CaptureDeviceList listed;
    GstRef<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), DeviceClass(category), nullptr);
    // Without start() this probes each provider once and returns.
    GList *devices = gst_device_monitor_get_devices(monitor.get());
    for (GList *item = devices; item; item = item->next)
        listed.push_back(std::make_shared<CGstCaptureDevice>(GstRef<GstDevice>(GST_DEVICE(item->data)), category));
    g_list_free(devices); // the devices' references went to the entries
    return listed;
}

void CFakeDeviceList::Add(DeviceCategory category, std::string name, ElementMaker maker)
{
    devices.push_back(std::make_shared<CFakeCaptureDevice>(category, std::move(name), std::move(maker)));
}

void CFakeDeviceList::Add(DeviceCategory category, std::string name, const std::string &description)
{
    Add(category, std::move(name), [description]() -> GstElement * {
        GError *error = nullptr;
        GstElement *element = gst_parse_launch(description.c_str(), &error);
        if (error) {
            g_clear_error(&error);
            if (element)
                gst_object_unref(element);
            return nullptr;
        }
        return element;
    });
}

CaptureDeviceList CFakeDeviceList::Enumerate(DeviceCategory category)
{
    CaptureDeviceList listed;
    for (const auto &device : devices)
        if (device->Category() == category)
            listed.push_back(device);
    return listed;
}

} // namespace kestrel::media
