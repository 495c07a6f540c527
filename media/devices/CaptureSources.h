#pragma once

#include "media/DeviceList.h"
#include "media/crossbar/CrossbarRouter.h"
#include "media/mixer/Mixer.h"

#include <memory>

namespace kestrel::media::devices {

// The devices a camera or microphone list shows: those with a display name
// that give a source element, in the order the system lists them.
CaptureDeviceList ListedDevices(IDeviceList &devices, DeviceCategory category);

// Makes the router over a camera's inputs (its crossbar inputs on a capture
// card).
class IInputRouterFactory {
public:
    virtual ~IInputRouterFactory() = default;
    // Null for a camera without inputs to choose.
    virtual std::unique_ptr<crossbar::CCrossbarRouter> MakeRouter(const ICaptureDevice &camera) = 0;
};

// Everything the Video and Audio pages and the device listing take their
// devices from. The parts are owned elsewhere and outlive the users.
struct CaptureSources {
    IDeviceList &devices;
    IInputRouterFactory &routers;
    mixer::IMixerDevices &mixers;
};

// Sources of a machine without devices: no camera, no microphone, no mixer.
CaptureSources NoCaptureSources();

} // namespace kestrel::media::devices
