#pragma once

#include <string_view>

namespace kestrel::platform {

enum class MessageIcon { None, Exclamation };

// A modal message with one OK button. Behind an interface so that dialog
// rules can be tested without a display, and so a program without a display
// can report on standard error instead. Texts are UTF-8.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void Show(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
};

} // namespace kestrel::platform
