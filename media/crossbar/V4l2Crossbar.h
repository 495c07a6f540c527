#pragma once

#include "media/crossbar/CrossbarRouter.h"
#include "media/crossbar/V4l2Calls.h"

#include <linux/videodev2.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrel::media::crossbar {

// The connector a V4L2 video input stands for: a tuner input is
// "Video Tuner"; other inputs by the kind their name gives ("Composite1",
// "S-Video", "Component", "HDMI"...), and an input whose name says none by
// its V4L2 type: a camera-type input is "Video AUX", any video input.
int ConnectorTypeOfInput(const v4l2_input &input);
// Likewise for a V4L2 audio input; "Audio Line" when the name says nothing.
int ConnectorTypeOfAudio(const v4l2_audio &audio);

// A V4L2 capture device's inputs as one crossbar.
//
//   input pins   0 .. v-1   the video inputs (VIDIOC_ENUMINPUT; touch inputs left out)
//                v .. v+a-1 the audio inputs (VIDIOC_ENUMAUDIO), on few devices
//   output pins  0          the video the device captures ("Video Decoder")
//                1          its audio ("Audio Decoder"), only with audio inputs
//
// A video input's related pin is the first audio input of its audio set, so
// that routing a video input also switches its sound. Every input pin is a
// physical connector. Route switches with VIDIOC_S_INPUT and VIDIOC_S_AUDIO on
// the crossbar's own descriptor, which stays open while the crossbar lives;
// the device keeps its input when it is closed.
class CV4l2Crossbar final : public ICrossbar {
public:
    // Null when the node cannot be opened or does not capture video.
    static std::shared_ptr<CV4l2Crossbar> Open(IV4l2Calls &calls, const std::string &path);

    int VideoInputCount() const { return static_cast<int>(video.size()); }

    HResult GetPinCounts(int &outputs, int &inputs) override;
    HResult GetCrossbarPinInfo(PinDirection direction, int index, int &related, int &physicalType) override;
    HResult CanRoute(int output, int input) override;
    HResult Route(int output, int input) override;
    PinConnection InputConnection(int input) override;

    // Use Open.
    CV4l2Crossbar(IV4l2Calls &calls, platform::UniqueFd fd, const std::vector<v4l2_input> &inputs,
                  const std::vector<v4l2_audio> &audioInputs);

private:
    struct Pin {
        unsigned deviceIndex; // the driver's index of the input
        int type;             // connector:: value
        int related;          // pin index, -1 for none
    };
    static constexpr int kVideoOutput = 0;
    static constexpr int kAudioOutput = 1;

    bool IsVideoPin(int input) const { return input >= 0 && input < VideoInputCount(); }
    bool IsAudioPin(int input) const
    {
        return input >= VideoInputCount() && input < VideoInputCount() + static_cast<int>(audio.size());
    }
    int OutputCount() const { return audio.empty() ? 1 : 2; }
    Pin &AudioPin(int input) { return audio[static_cast<std::size_t>(input - VideoInputCount())]; }

    IV4l2Calls &calls;
    platform::UniqueFd fd;
    std::vector<Pin> video;
    std::vector<Pin> audio;
};

// The router over a capture device's inputs, or null when the device has
// fewer than two video inputs (a webcam: nothing to choose) or cannot be
// opened. No graph is needed to find them: the device lists its inputs itself.
std::unique_ptr<CCrossbarRouter> MakeV4l2Router(IV4l2Calls &calls, const std::string &devicePath);

} // namespace kestrel::media::crossbar
