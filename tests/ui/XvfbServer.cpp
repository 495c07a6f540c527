#include "tests/ui/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kestrel::ui::test {

XvfbServer::XvfbServer(int width, int height)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid = ::fork();
    if (pid == 0) {
        ::dup2(ready[1], 3); // the server writes its display number here once it listens
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 2);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
                 static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c;
    // Generous: a loaded machine may take a few seconds to start a server.
    while (::poll(&wait, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ready[0]);
    if (!number.empty())
        display = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

} // namespace kestrel::ui::test
