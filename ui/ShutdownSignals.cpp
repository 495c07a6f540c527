#include "ui/ShutdownSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kestrel::ui {

namespace {

std::atomic<int> signalPipe{-1};

extern "C" void OnShutdownSignal(int)
{
    const int saved = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void Install(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    signalPipe = writeEnd.Get();
    notifier = std::make_unique<QSocketNotifier>(readEnd.Get(), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(readEnd.Get(), bytes, sizeof bytes) > 0) {
        }
        emit Requested();
    });
    Install(&OnShutdownSignal);
}

ShutdownSignals::~ShutdownSignals()
{
    Install(SIG_DFL);
    signalPipe = -1;
}

} // namespace kestrel::ui
