#pragma once

#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "tests/media/devices/FakeCamera.h"
#include "ui/Options.h"

#include <QTabWidget>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::ui::testing {

template <typename Widget>
Widget *Control(const QWidget &parent, const char *id)
{
    auto *widget = parent.findChild<Widget *>(QString::fromLatin1(id));
    EXPECT_NE(widget, nullptr) << "no control " << id;
    return widget;
}

// The store that remembers the order of the values written to it.
class WriteRecordingStore final : public platform::IProfileStore {
public:
    bool CreateKey(std::string_view keyPath) override { return store.CreateKey(keyPath); }
    bool KeyExists(std::string_view keyPath) override { return store.KeyExists(keyPath); }
    std::optional<platform::ProfileValue> ReadValue(std::string_view keyPath, std::string_view valueName) override
    {
        return store.ReadValue(keyPath, valueName);
    }
    bool WriteValue(std::string_view keyPath, std::string_view valueName, const platform::ProfileValue &value) override
    {
        writes.push_back(std::string(keyPath) + "|" + std::string(valueName));
        return store.WriteValue(keyPath, valueName, value);
    }
    bool DeleteValue(std::string_view keyPath, std::string_view valueName) override
    {
        return store.DeleteValue(keyPath, valueName);
    }
    bool DeleteKeyTree(std::string_view keyPath) override { return store.DeleteKeyTree(keyPath); }

    platform::MemoryProfileStore store;
    std::vector<std::string> writes;
};

// One camera and one microphone, so that the Video and Audio pages keep
// their "Enable" boxes (a page without a device clears its own).
struct SheetDevices {
    SheetDevices()
    {
        gst_init(nullptr, nullptr);
        list.Add("Test Camera");
        list.Add("Test Microphone", media::DeviceCategory::Audio);
    }
    media::devices::CaptureSources Sources()
    {
        const media::devices::CaptureSources none = media::devices::NoCaptureSources();
        return {list, none.routers, none.mixers};
    }
    media::devices::test::FakeDevices list;
};

class SheetTest : public ::testing::Test {
protected:
    QTabWidget &Tabs() { return *Control<QTabWidget>(sheet, "12320"); }
    QWidget &Page(const char *id) { return *Control<QWidget>(sheet, id); }
    void Open() { sheet.show(); }
    // Brings a page to the front as a click on its tab does.
    void Visit(int index) { Tabs().setCurrentIndex(index); }
    void PressOk();
    void PressCancel();

    WriteRecordingStore store;
    platform::RecordingMessageBox messages;
    SheetDevices devices;
    COptions sheet{store, messages, devices.Sources()};
};

} // namespace kestrel::ui::testing
