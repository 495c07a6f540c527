#pragma once

#include "media/DeviceList.h"
#include "media/devices/CaptureSources.h"
#include "media/devices/V4l2InputRouters.h"
#include "media/mixer/AlsaMixer.h"

namespace kestrel::media::devices {

// The machine's own devices: cameras and microphones from GStreamer's device
// monitor, capture-card inputs from V4L2, the recording level from ALSA.
// GStreamer must be initialised (and Kestrel's plugins scanned, for the test
// devices) before the first use.
class CSystemDevices {
public:
    CaptureSources Sources() { return {monitor, routers, mixers}; }

private:
    CGstDeviceList monitor;
    CV4l2InputRouters routers;
    mixer::CAlsaMixerDevices mixers;
};

} // namespace kestrel::media::devices
