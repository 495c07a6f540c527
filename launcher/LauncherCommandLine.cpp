#include "launcher/LauncherCommandLine.h"

#include <array>

namespace kestrel::launcher {

DirectoryText DirectoryFromCommandLine(std::string_view commandLine, char separator)
{
    std::array<char, kCommandLineBufferSize> buffer{};
    const std::size_t length = std::min(commandLine.size(), buffer.size() - 1);
    commandLine.copy(buffer.data(), length);
    std::string_view text(buffer.data(), length);
    if (const std::size_t last = text.rfind(separator); last != std::string_view::npos)
        text = text.substr(0, last + 1);
    return {std::string(text), length < commandLine.size()};
}

} // namespace kestrel::launcher
