#pragma once

#include "media/mixer/AlsaElements.h"
#include "media/mixer/Mixer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::mixer {

// An ALSA mixer seen as lines and controls.
//
// - The recording destination exists when some element captures (a capture
//   volume or switch) or selects what is captured (a capture enumeration).
// - Its source lines are the capture elements, in the mixer's order. Those
//   whose name has a word beginning "Mic" are microphones. A card with
//   none of those records the microphone through its "Capture" element (the
//   card's capture gain on HDA codecs, the recording source's level on the
//   PulseAudio and PipeWire mixers), which is then the microphone line.
// - A source's volume control is its capture volume; the values are steps
//   above the element's minimum (so the minimum is 0), one per capture
//   channel, uniform when ALSA joins the channels.
// - The destination's mixer control is the sources' capture switches, but
//   not that of "Capture", the card's master capture switch; its
//   multiplexer the first capture enumeration, whose items are lines of
//   their own, microphones by the same naming rule.
class CAlsaMixer final : public IMixer {
public:
    explicit CAlsaMixer(std::unique_ptr<IAlsaMixerElements> elements);

    std::optional<MixerLine> DestinationByComponentType(std::uint32_t componentType) override;
    std::optional<MixerLine> SourceLine(const MixerLine &destination, std::uint32_t source) override;
    std::optional<MixerLine> LineById(std::uint32_t lineId) override;
    std::optional<MixerControl> ControlByType(const MixerLine &line, std::uint32_t controlType) override;
    std::optional<std::vector<std::uint32_t>> UnsignedValues(const MixerControl &control,
                                                             std::uint32_t channels) override;
    bool SetUnsignedValues(const MixerControl &control, const std::vector<std::uint32_t> &values) override;
    std::optional<std::vector<MixerListItem>> ListTexts(const MixerControl &control) override;
    std::optional<std::vector<bool>> BooleanValues(const MixerControl &control) override;
    bool SetBooleanValues(const MixerControl &control, const std::vector<bool> &values) override;

private:
    struct Source {
        std::size_t element;
        std::uint32_t componentType;
    };

    bool HasDestination() const { return !sources.empty() || mux.has_value(); }
    MixerLine Destination() const;
    MixerLine SourceLineAt(std::size_t source) const;
    const AlsaElementInfo &Info(std::size_t element) const { return elements->Elements()[element]; }
    // The element of a source's volume control, if the id names one.
    std::optional<std::size_t> VolumeElement(const MixerControl &control) const;

    std::unique_ptr<IAlsaMixerElements> elements;
    std::vector<Source> sources;
    std::vector<std::size_t> switches; // sources in the mixer control
    std::optional<std::size_t> mux;    // element of the multiplexer
};

// Mixer device 0 is the ALSA "default" mixer (that of the sound server where
// there is one, else of the first card), or "hw:0" when "default" cannot be
// opened. No other device exists.
class CAlsaMixerDevices final : public IMixerDevices {
public:
    using Opener = std::function<std::unique_ptr<IAlsaMixerElements>(const std::string &device)>;
    explicit CAlsaMixerDevices(Opener opener = OpenAlsaMixerElements) : opener(std::move(opener)) {}

    std::unique_ptr<IMixer> Open(unsigned index) override;

private:
    Opener opener;
};

} // namespace kestrel::media::mixer
