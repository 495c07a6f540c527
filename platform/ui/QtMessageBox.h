#pragma once

#include "platform/ui/IMessageBox.h"

namespace kestrel::platform {

// Shows the message in a QMessageBox over the active window. Needs a QApplication.
class QtMessageBox final : public IMessageBox {
public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

// Writes "caption: text" to standard error, for programs that have no display.
class StderrMessageBox final : public IMessageBox {
public:
    void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

} // namespace kestrel::platform
