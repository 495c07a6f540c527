#pragma once

#include "platform/UniqueFd.h"

#include <string>

namespace kestrel::media::crossbar {

// The system calls the V4L2 code makes, behind an interface so that tests
// can stand in for a capture card (as gstv4l2object's function pointers do).
class IV4l2Calls {
public:
    virtual ~IV4l2Calls() = default;
    // Opens a device node for reading and writing, non-blocking and
    // close-on-exec; an invalid descriptor (errno set) on failure.
    virtual platform::UniqueFd Open(const std::string &path) = 0;
    // ioctl(2): -1 with errno set on failure.
    virtual int Ioctl(int fd, unsigned long request, void *argument) = 0;
};

// open(2) and ioctl(2) themselves.
IV4l2Calls &SystemV4l2Calls();

} // namespace kestrel::media::crossbar
