#pragma once

#include "media/crossbar/V4l2Calls.h"

#include <linux/videodev2.h>

#include <vector>

namespace kestrel::media::crossbar::v4l2 {

// Thin wrappers of the ioctls that list and switch a capture device's
// inputs. Each goes through `calls` and retries a call interrupted by a
// signal.

// VIDIOC_QUERYCAP. False when the node does not answer it.
bool QueryCapabilities(IV4l2Calls &calls, int fd, v4l2_capability &capabilities);
// Whether the node captures video (its own capabilities when the driver
// gives them, else the device's).
bool CapturesVideo(const v4l2_capability &capabilities);

// VIDIOC_ENUMINPUT from index 0 until the driver has no more (at most
// kMaxInputs): the video inputs, in the driver's order.
std::vector<v4l2_input> EnumerateInputs(IV4l2Calls &calls, int fd);
// VIDIOC_ENUMAUDIO likewise: the audio inputs; none on most devices.
std::vector<v4l2_audio> EnumerateAudioInputs(IV4l2Calls &calls, int fd);
inline constexpr unsigned kMaxInputs = 64;

// VIDIOC_S_INPUT: the video input the device captures from.
bool SetInput(IV4l2Calls &calls, int fd, unsigned index);
// VIDIOC_S_AUDIO: the audio input that goes with it.
bool SetAudioInput(IV4l2Calls &calls, int fd, unsigned index);

} // namespace kestrel::media::crossbar::v4l2
