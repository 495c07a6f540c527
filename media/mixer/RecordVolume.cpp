#include "media/mixer/RecordVolume.h"

#include <algorithm>

namespace kestrel::media::mixer {

namespace {

constexpr unsigned kMixerDevice = 0;

struct MicrophoneLine {
    int sourceIndex = 0;
    std::optional<MixerControl> volume; // only when a microphone line has one
    std::uint32_t channels = 1;
};

// The recording destination's first microphone source and its volume control.
MicrophoneLine FindMicrophoneLine(IMixer &mixer)
{
    MicrophoneLine found;
    const std::optional<MixerLine> destination = mixer.DestinationByComponentType(kComponentDstWaveIn);
    if (!destination)
        return found;
    std::optional<MixerLine> microphone;
    std::uint32_t source = 0;
    for (; source < destination->connections; ++source) {
        std::optional<MixerLine> line = mixer.SourceLine(*destination, source);
        if (line && line->componentType == kComponentSrcMicrophone) {
            microphone = std::move(line);
            break;
        }
    }
    found.sourceIndex = static_cast<int>(source);
    // Without a microphone there is nothing to set: the last source looked
    // at is some other input, whose level is not ours to change.
    if (!microphone)
        return found;
    found.volume = mixer.ControlByType(*microphone, kControlVolume);
    if (found.volume)
        found.channels = found.volume->uniform ? 1 : std::max<std::uint32_t>(microphone->channels, 1);
    return found;
}

} // namespace

int GetMicLevel(IMixerDevices &mixers, std::optional<int> &percent)
{
    std::unique_ptr<IMixer> mixer = mixers.Open(kMixerDevice);
    if (!mixer)
        return 0;
    const MicrophoneLine microphone = FindMicrophoneLine(*mixer);
    if (microphone.volume && microphone.volume->maximum > 0) {
        const auto values = mixer->UnsignedValues(*microphone.volume, microphone.channels);
        if (values && !values->empty()) {
            // The minimum is taken to be 0.
            const double share = static_cast<double>(values->front()) / microphone.volume->maximum;
            percent = std::clamp(static_cast<int>(share * kLevelScale), 0, kLevelScale);
        }
    }
    return microphone.sourceIndex;
}

void SetMicLevel(IMixerDevices &mixers, int percent)
{
    std::unique_ptr<IMixer> mixer = mixers.Open(kMixerDevice);
    if (!mixer)
        return;
    const MicrophoneLine microphone = FindMicrophoneLine(*mixer);
    if (!microphone.volume)
        return;
    auto values = mixer->UnsignedValues(*microphone.volume, microphone.channels);
    if (!values || values->empty())
        return;
    const auto level = static_cast<std::uint64_t>(std::clamp(percent, 0, kLevelScale));
    // Multiplied first, truncated by the division; 64 bits so that no
    // maximum overflows.
    const auto value = static_cast<std::uint32_t>(microphone.volume->maximum * level / kLevelScale);
    values->front() = value;
    values->back() = value;
    mixer->SetUnsignedValues(*microphone.volume, *values);
}

void SelectRecordSource(IMixerDevices &mixers, int fallbackIndex)
{
    std::unique_ptr<IMixer> mixer = mixers.Open(kMixerDevice);
    if (!mixer)
        return;
    const std::optional<MixerLine> destination = mixer->DestinationByComponentType(kComponentDstWaveIn);
    if (!destination)
        return;
    std::optional<MixerControl> selector = mixer->ControlByType(*destination, kControlMixer);
    if (!selector)
        selector = mixer->ControlByType(*destination, kControlMux);
    if (!selector)
        return; // nothing chooses the recording source
    int index = fallbackIndex;
    if (const auto items = mixer->ListTexts(*selector)) {
        const auto isMicrophone = [&mixer](const MixerListItem &item) {
            const std::optional<MixerLine> line = mixer->LineById(item.lineId);
            return line && line->componentType == kComponentSrcMicrophone;
        };
        const auto namedMicrophone = [](const MixerListItem &item) { return item.name == "Microphone"; };
        auto found = std::find_if(items->begin(), items->end(), isMicrophone);
        if (found == items->end())
            found = std::find_if(items->begin(), items->end(), namedMicrophone);
        if (found != items->end())
            index = static_cast<int>(found - items->begin());
    }
    auto selected = mixer->BooleanValues(*selector);
    if (!selected || index < 0 || index >= static_cast<int>(selected->size()))
        return; // no item to select: clearing them all would silence recording
    std::fill(selected->begin(), selected->end(), false);
    (*selected)[static_cast<std::size_t>(index)] = true;
    mixer->SetBooleanValues(*selector, *selected);
}

} // namespace kestrel::media::mixer
