#pragma once

#include "media/crossbar/V4l2Calls.h"
#include "media/devices/CaptureSources.h"

#include <string>

namespace kestrel::media::devices {

// The V4L2 device node behind a camera, from the properties its provider
// gives: "device.path" of the v4l2 provider, "api.v4l2.path" or a
// "v4l2:"-prefixed "object.path" of PipeWire's. Empty for cameras that are
// not V4L2 devices (libcamera, test sources).
std::string V4l2DevicePath(const ICaptureDevice &camera);

// Routers over the V4L2 video inputs of the camera's device node.
class CV4l2InputRouters final : public IInputRouterFactory {
public:
    explicit CV4l2InputRouters(crossbar::IV4l2Calls &calls = crossbar::SystemV4l2Calls()) : calls(calls) {}
    std::unique_ptr<crossbar::CCrossbarRouter> MakeRouter(const ICaptureDevice &camera) override;

private:
    crossbar::IV4l2Calls &calls;
};

} // namespace kestrel::media::devices
