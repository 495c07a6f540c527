#pragma once

#include "media/DeviceList.h"

#include <gst/gst.h>

#include <map>
#include <memory>
#include <string>

namespace kestrel::media::devices::test {

// A camera or microphone with the properties its provider would give. Its
// element is a fakesrc, or none when `givesElement` is false.
class FakeCamera final : public ICaptureDevice {
public:
    FakeCamera(std::string name, std::map<std::string, std::string> properties = {},
               DeviceCategory category = DeviceCategory::Video)
        : name(std::move(name)), properties(std::move(properties)), category(category)
    {
    }

    std::string Name() const override { return name; }
    DeviceCategory Category() const override { return category; }
    GstElement *CreateElement() const override
    {
        return givesElement ? gst_element_factory_make("fakesrc", nullptr) : nullptr;
    }
    std::string Property(const std::string &key) const override
    {
        const auto found = properties.find(key);
        return found == properties.end() ? std::string() : found->second;
    }

    std::string name;
    std::map<std::string, std::string> properties;
    DeviceCategory category;
    bool givesElement = true;
};

// A fixed list of such devices.
class FakeDevices final : public IDeviceList {
public:
    std::shared_ptr<FakeCamera> Add(std::string name, DeviceCategory category = DeviceCategory::Video,
                                    std::map<std::string, std::string> properties = {})
    {
        auto device = std::make_shared<FakeCamera>(std::move(name), std::move(properties), category);
        devices.push_back(device);
        return device;
    }
    CaptureDeviceList Enumerate(DeviceCategory category) override
    {
        ++enumerations;
        CaptureDeviceList listed;
        for (const auto &device : devices)
            if (device->Category() == category)
                listed.push_back(device);
        return listed;
    }

    std::vector<std::shared_ptr<FakeCamera>> devices;
    int enumerations = 0;
};

} // namespace kestrel::media::devices::test
