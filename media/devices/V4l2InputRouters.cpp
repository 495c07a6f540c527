#include "media/devices/V4l2InputRouters.h"

#include "media/crossbar/V4l2Crossbar.h"

#include <string_view>

namespace kestrel::media::devices {

std::string V4l2DevicePath(const ICaptureDevice &camera)
{
    const std::string api = camera.Property("device.api");
    if (std::string path = camera.Property("device.path"); !path.empty() && (api.empty() || api == "v4l2"))
        return path;
    if (std::string path = camera.Property("api.v4l2.path"); !path.empty())
        return path;
    constexpr std::string_view kV4l2Object = "v4l2:";
    const std::string object = camera.Property("object.path");
    if (object.size() > kV4l2Object.size() && object.compare(0, kV4l2Object.size(), kV4l2Object) == 0)
        return object.substr(kV4l2Object.size());
    return {};
}

std::unique_ptr<crossbar::CCrossbarRouter> CV4l2InputRouters::MakeRouter(const ICaptureDevice &camera)
{
    return crossbar::MakeV4l2Router(calls, V4l2DevicePath(camera));
}

} // namespace kestrel::media::devices
