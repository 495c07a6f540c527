#include "media/crossbar/V4l2Device.h"

#include <cerrno>
#include <cstring>

namespace kestrel::media::crossbar::v4l2 {

namespace {

int RetryingIoctl(IV4l2Calls &calls, int fd, unsigned long request, void *argument)
{
    int answer;
    do {
        answer = calls.Ioctl(fd, request, argument);
    } while (answer == -1 && errno == EINTR);
    return answer;
}

} // namespace

bool QueryCapabilities(IV4l2Calls &calls, int fd, v4l2_capability &capabilities)
{
    std::memset(&capabilities, 0, sizeof capabilities);
    return RetryingIoctl(calls, fd, VIDIOC_QUERYCAP, &capabilities) == 0;
}

bool CapturesVideo(const v4l2_capability &capabilities)
{
    const std::uint32_t caps =
        (capabilities.capabilities & V4L2_CAP_DEVICE_CAPS) ? capabilities.device_caps : capabilities.capabilities;
    return (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

std::vector<v4l2_input> EnumerateInputs(IV4l2Calls &calls, int fd)
{
    std::vector<v4l2_input> inputs;
    for (unsigned index = 0; index < kMaxInputs; ++index) {
        v4l2_input input;
        std::memset(&input, 0, sizeof input);
        input.index = index;
        if (RetryingIoctl(calls, fd, VIDIOC_ENUMINPUT, &input) != 0)
            break; // EINVAL: no more inputs
        input.name[sizeof input.name - 1] = '\0';
        inputs.push_back(input);
    }
    return inputs;
}

std::vector<v4l2_audio> EnumerateAudioInputs(IV4l2Calls &calls, int fd)
{
    std::vector<v4l2_audio> inputs;
    for (unsigned index = 0; index < kMaxInputs; ++index) {
        v4l2_audio audio;
        std::memset(&audio, 0, sizeof audio);
        audio.index = index;
        if (RetryingIoctl(calls, fd, VIDIOC_ENUMAUDIO, &audio) != 0)
            break; // EINVAL: no more inputs (or none at all: ENOTTY)
        audio.name[sizeof audio.name - 1] = '\0';
        inputs.push_back(audio);
    }
    return inputs;
}

bool SetInput(IV4l2Calls &calls, int fd, unsigned index)
{
    int input = static_cast<int>(index);
    return RetryingIoctl(calls, fd, VIDIOC_S_INPUT, &input) == 0;
}

bool SetAudioInput(IV4l2Calls &calls, int fd, unsigned index)
{
    v4l2_audio audio;
    std::memset(&audio, 0, sizeof audio);
    audio.index = index;
    return RetryingIoctl(calls, fd, VIDIOC_S_AUDIO, &audio) == 0;
}

} // namespace kestrel::media::crossbar::v4l2
