#include "media/crossbar/V4l2Calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>

namespace kestrel::media::crossbar {

namespace {

class CSystemV4l2Calls final : public IV4l2Calls {
public:
    platform::UniqueFd Open(const std::string &path) override
    {
        return platform::UniqueFd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    }
    int Ioctl(int fd, unsigned long request, void *argument) override { return ::ioctl(fd, request, argument); }
};

} // namespace

IV4l2Calls &SystemV4l2Calls()
{
    static CSystemV4l2Calls calls;
    return calls;
}

} // namespace kestrel::media::crossbar
