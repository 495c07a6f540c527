#pragma once

#include "platform/gst/GstRef.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::media {

using platform::GstRef;

enum class DeviceCategory {
    Video, // cameras: device class "Video/Source"
    Audio, // microphones: device class "Audio/Source"
};

// One camera or microphone the system lists.
class ICaptureDevice {
public:
    virtual ~ICaptureDevice() = default;
    virtual std::string Name() const = 0; // the display name
    virtual DeviceCategory Category() const = 0;
    // A new (floating) source element for the device, or null.
    virtual GstElement *CreateElement() const = 0;
    // A text property the device's provider gives ("device.path",
    // "api.v4l2.path"...); empty when there is none.
    virtual std::string Property(const std::string &) const { return {}; }
};

using CaptureDeviceList = std::vector<std::shared_ptr<ICaptureDevice>>;

// The devices present, in the order the system lists them.
//
// Threads: user-interface thread.
class IDeviceList {
public:
    virtual ~IDeviceList() = default;
    virtual CaptureDeviceList Enumerate(DeviceCategory category) = 0;
};

// The first device of the category, or null when there is none.
std::shared_ptr<ICaptureDevice> FirstDevice(IDeviceList &devices, DeviceCategory category);

// GStreamer's device monitor (every device provider of the registry),
// probed afresh at each Enumerate.
class CGstDeviceList : public IDeviceList {
public:
    CaptureDeviceList Enumerate(DeviceCategory category) override;
};

// A fixed list, for tests and for machines without devices.
class CFakeDeviceList : public IDeviceList {
public:
    using ElementMaker = std::function<GstElement *()>;
    void Add(DeviceCategory category, std::string name, ElementMaker maker);
    // A device whose element is `description` in gst-launch syntax
    // ("audiotestsrc is-live=true").
    void Add(DeviceCategory category, std::string name, const std::string &description);
    CaptureDeviceList Enumerate(DeviceCategory category) override;

private:
    CaptureDeviceList devices;
};

} // namespace kestrel::media
