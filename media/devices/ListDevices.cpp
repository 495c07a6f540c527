#include "media/devices/ListDevices.h"

#include "media/PluginLocator.h"
#include "media/devices/SystemDevices.h"

#include <gst/gst.h>

namespace kestrel::media::devices {

namespace {

// Room for the longest connector name, as the Video page gives.
constexpr std::size_t kInputNameLength = 255;

// A name from a device's descriptor stays on its one line.
std::string OneLine(std::string name)
{
    for (char &c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return name;
}

} // namespace

int ListDevices(std::ostream &out, const CaptureSources &sources)
{
    for (const auto &camera : ListedDevices(sources.devices, DeviceCategory::Video)) {
        out << "camera\t" << OneLine(camera->Name()) << '\n';
        const std::unique_ptr<crossbar::CCrossbarRouter> router = sources.routers.MakeRouter(*camera);
        for (int i = 0; router && i < router->CountInputs(); ++i) {
            char name[kInputNameLength] = {};
            if (Succeeded(router->DescribeInput(i, name, sizeof name)))
                out << "input\t" << name << '\n';
        }
    }
    for (const auto &microphone : ListedDevices(sources.devices, DeviceCategory::Audio))
        out << "microphone\t" << OneLine(microphone->Name()) << '\n';
    out.flush();
    return 0;
}

int ListSystemDevices(std::ostream &out)
{
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
        return 0; // no GStreamer: no devices
    ScanOwnPlugins();
    CSystemDevices system;
    return ListDevices(out, system.Sources());
}

} // namespace kestrel::media::devices
