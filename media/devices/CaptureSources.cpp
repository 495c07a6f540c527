#include "media/devices/CaptureSources.h"

namespace kestrel::media::devices {

namespace {

class CNoDevices final : public IDeviceList, public IInputRouterFactory, public mixer::IMixerDevices {
public:
    CaptureDeviceList Enumerate(DeviceCategory) override { return {}; }
    std::unique_ptr<crossbar::CCrossbarRouter> MakeRouter(const ICaptureDevice &) override { return nullptr; }
    std::unique_ptr<mixer::IMixer> Open(unsigned) override { return nullptr; }
};

bool GivesElement(const ICaptureDevice &device)
{
    GstElement *element = device.CreateElement();
    if (!element)
        return false;
    gst_object_unref(gst_object_ref_sink(element));
    return true;
}

} // namespace

CaptureDeviceList ListedDevices(IDeviceList &devices, DeviceCategory category)
{
    CaptureDeviceList listed;
    for (std::shared_ptr<ICaptureDevice> &device : devices.Enumerate(category))
        if (device && !device->Name().empty() && GivesElement(*device))
            listed.push_back(std::move(device));
    return listed;
}

CaptureSources NoCaptureSources()
{
    static CNoDevices none;
    return {none, none, none};
}

} // namespace kestrel::media::devices
