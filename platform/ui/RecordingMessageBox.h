#pragma once

#include "platform/ui/IMessageBox.h"

#include <string>
#include <vector>

namespace kestrel::platform {

// The fake: remembers every message instead of showing it.
class RecordingMessageBox final : public IMessageBox {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override
    {
        shown.push_back({std::string(text), std::string(caption), icon});
    }

    std::vector<Message> shown;
};

} // namespace kestrel::platform
