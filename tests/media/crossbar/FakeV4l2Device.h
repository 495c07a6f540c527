#pragma once

#include "media/crossbar/V4l2Calls.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>

namespace kestrel::media::crossbar::test {

// A capture device node for the V4L2 code: answers the ioctls the input
// routing makes from the inputs a test gives, and remembers the switches.
// Its descriptor is a real one (of /dev/null), so that it closes as a
// device's does.
class FakeV4l2Device final : public IV4l2Calls {
public:
    explicit FakeV4l2Device(std::string path = "/dev/video7") : path(std::move(path)) {}

    void AddInput(const char *name, std::uint32_t type = V4L2_INPUT_TYPE_CAMERA, std::uint32_t audioset = 0)
    {
        v4l2_input input{};
        input.index = static_cast<std::uint32_t>(inputs.size());
        std::strncpy(reinterpret_cast<char *>(input.name), name, sizeof input.name - 1);
        input.type = type;
        input.audioset = audioset;
        inputs.push_back(input);
    }
    void AddAudioInput(const char *name)
    {
        v4l2_audio audio{};
        audio.index = static_cast<std::uint32_t>(audioInputs.size());
        std::strncpy(reinterpret_cast<char *>(audio.name), name, sizeof audio.name - 1);
        audioInputs.push_back(audio);
    }

    platform::UniqueFd Open(const std::string &node) override
    {
        if (node != path) {
            errno = ENOENT;
            return platform::UniqueFd();
        }
        platform::UniqueFd fd(::open("/dev/null", O_RDWR | O_CLOEXEC));
        openFd = fd.Get();
        return fd;
    }

    int Ioctl(int fd, unsigned long request, void *argument) override
    {
        if (fd != openFd)
            return Fail(EBADF);
        if (interruptNext) {
            interruptNext = false;
            return Fail(EINTR);
        }
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto *caps = static_cast<v4l2_capability *>(argument);
            caps->capabilities = capabilities | V4L2_CAP_DEVICE_CAPS;
            caps->device_caps = capabilities;
            return 0;
        }
        case VIDIOC_ENUMINPUT: {
            auto *input = static_cast<v4l2_input *>(argument);
            if (input->index >= inputs.size())
                return Fail(EINVAL);
            *input = inputs[input->index];
            return 0;
        }
        case VIDIOC_ENUMAUDIO: {
            auto *audio = static_cast<v4l2_audio *>(argument);
            if (audioInputs.empty())
                return Fail(ENOTTY);
            if (audio->index >= audioInputs.size())
                return Fail(EINVAL);
            *audio = audioInputs[audio->index];
            return 0;
        }
        case VIDIOC_S_INPUT: {
            const int index = *static_cast<int *>(argument);
            if (index < 0 || static_cast<std::size_t>(index) >= inputs.size())
                return Fail(EINVAL);
            switches.push_back("input " + std::to_string(index));
            return 0;
        }
        case VIDIOC_S_AUDIO: {
            const auto *audio = static_cast<v4l2_audio *>(argument);
            if (audio->index >= audioInputs.size())
                return Fail(EINVAL);
            switches.push_back("audio " + std::to_string(audio->index));
            return 0;
        }
        default:
            return Fail(ENOTTY);
        }
    }

    std::string path;
    std::uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<v4l2_input> inputs;
    std::vector<v4l2_audio> audioInputs;
    std::vector<std::string> switches;
    bool interruptNext = false;
    int openFd = -1;

private:
    static int Fail(int error)
    {
        errno = error;
        return -1;
    }
};

} // namespace kestrel::media::crossbar::test
