#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::media::mixer {

// What the mixer mapping needs to know of one ALSA simple mixer element.
// Only the capture side counts; controls without a direction (a
// "Mic Boost Volume", an "Auto Gain Control" switch) are not capture
// controls here.
struct AlsaElementInfo {
    std::string name;
    bool captureVolume = false;
    bool captureVolumeJoined = false; // one volume for all channels
    bool captureSwitch = false;
    bool captureEnum = false; // a capture source selector ("Capture Source", "Input Source")
    std::vector<int> captureChannels; // snd_mixer_selem_channel_id_t values the element captures on
    long minimum = 0;                 // capture volume range
    long maximum = 0;
    std::vector<std::string> enumItems;
};

// The simple elements of one open ALSA mixer, in the mixer's order, with the
// few calls the mapping makes on them; `element` indexes Elements().
//
// Threads: user-interface thread.
class IAlsaMixerElements {
public:
    virtual ~IAlsaMixerElements() = default;
    virtual const std::vector<AlsaElementInfo> &Elements() const = 0;
    virtual bool CaptureVolume(std::size_t element, int channel, long &value) = 0;
    virtual bool SetCaptureVolume(std::size_t element, int channel, long value) = 0;
    virtual bool CaptureSwitch(std::size_t element, int channel, bool &on) = 0;
    virtual bool SetCaptureSwitch(std::size_t element, bool on) = 0; // every channel
    virtual bool EnumItem(std::size_t element, unsigned &item) = 0;
    virtual bool SetEnumItem(std::size_t element, unsigned item) = 0; // every channel
};

// Opens the ALSA mixer of a control device name ("default", "hw:0") with its
// simple elements; null when it cannot be opened.
std::unique_ptr<IAlsaMixerElements> OpenAlsaMixerElements(const std::string &device);

} // namespace kestrel::media::mixer
