#pragma once

#include <string>
#include <sys/types.h>

namespace kestrel::ui::test {

// A private X server (Xvfb) for tests that need a real X11 display. Started
// with -displayfd, so the constructor returns once the server is ready.
class XvfbServer {
public:
    explicit XvfbServer(int width = 1280, int height = 1024);
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool Running() const { return !display.empty(); }
    // ":N", for DISPLAY.
    const std::string &Display() const { return display; }

private:
    pid_t pid = -1;
    std::string display;
};

} // namespace kestrel::ui::test
