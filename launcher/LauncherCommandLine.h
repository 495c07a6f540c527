#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel::launcher {

// The launcher works on its command line in a buffer of the platform's
// maximum path length, terminator included.
inline constexpr std::size_t kCommandLineBufferSize = 260;

struct DirectoryText {
    std::string text; // the command line up to and including its last separator
    bool cut = false; // the command line did not fit the buffer
};

// Copies the command line into the buffer (cutting what does not fit) and
// ends the text just after the last `separator`. Without a separator the
// text is the whole (perhaps cut) command line.
DirectoryText DirectoryFromCommandLine(std::string_view commandLine, char separator);

} // namespace kestrel::launcher
