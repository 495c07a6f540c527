#pragma once

#include "media/mixer/Mixer.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::mixer::test {

// A sound card's mixer as lines and controls, for the level arithmetic and
// the Audio page. A test builds the card in `card`; every Open of device 0
// gives a handle on it (none when `present` is false), and `openHandles`
// tells whether each operation closed its mixer again.
struct FakeMixerCard {
    struct Source {
        MixerLine line;
        std::optional<MixerControl> volume;
        std::vector<std::uint32_t> values; // one per channel
    };

    bool present = true;
    bool hasDestination = true;
    std::vector<Source> sources;
    std::optional<MixerControl> mixerControl;
    std::optional<MixerControl> muxControl;
    std::vector<MixerListItem> items;
    std::vector<bool> selected;
    std::map<std::uint32_t, MixerLine> otherLines; // lines only the items name
    bool failListTexts = false;
    bool failSelectionRead = false;
    int opens = 0;
    int openHandles = 0;
    int volumeWrites = 0;
    int selectionWrites = 0;

    // Adds a source line; the microphone gets a volume control when `maximum` is given.
    Source &AddSource(std::uint32_t componentType, const std::string &name, std::optional<std::uint32_t> maximum = {},
                      std::vector<std::uint32_t> values = {0}, bool uniform = true)
    {
        Source source;
        source.line = {0x100 + static_cast<std::uint32_t>(sources.size()), componentType, 0,
                       static_cast<std::uint32_t>(values.size()), name};
        if (maximum)
            source.volume = MixerControl{0x200 + static_cast<std::uint32_t>(sources.size()), kControlVolume, uniform, 0,
                                         *maximum, 0};
        source.values = std::move(values);
        sources.push_back(std::move(source));
        return sources.back();
    }
    // Gives the destination a mixer or multiplexer whose items are these lines.
    void AddSelector(std::uint32_t controlType, std::vector<MixerListItem> list, std::vector<bool> current)
    {
        MixerControl control{0x300, controlType, false, 0, 1, static_cast<std::uint32_t>(list.size())};
        (controlType == kControlMixer ? mixerControl : muxControl) = control;
        items = std::move(list);
        selected = std::move(current);
    }
};

class FakeMixerHandle final : public IMixer {
public:
    explicit FakeMixerHandle(FakeMixerCard &card) : card(card) { ++card.openHandles; }
    ~FakeMixerHandle() override { --card.openHandles; }

    std::optional<MixerLine> DestinationByComponentType(std::uint32_t componentType) override
    {
        if (componentType != kComponentDstWaveIn || !card.hasDestination)
            return std::nullopt;
        return MixerLine{1, kComponentDstWaveIn, static_cast<std::uint32_t>(card.sources.size()), 2, "Recording"};
    }
    std::optional<MixerLine> SourceLine(const MixerLine &destination, std::uint32_t source) override
    {
        if (destination.lineId != 1 || source >= card.sources.size())
            return std::nullopt;
        return card.sources[source].line;
    }
    std::optional<MixerLine> LineById(std::uint32_t lineId) override
    {
        for (const auto &source : card.sources)
            if (source.line.lineId == lineId)
                return source.line;
        if (auto other = card.otherLines.find(lineId); other != card.otherLines.end())
            return other->second;
        return std::nullopt;
    }
    std::optional<MixerControl> ControlByType(const MixerLine &line, std::uint32_t controlType) override
    {
        if (line.lineId == 1)
            return controlType == kControlMixer ? card.mixerControl
                   : controlType == kControlMux ? card.muxControl
                                                : std::nullopt;
        if (Source *source = SourceOf(line.lineId); source && controlType == kControlVolume)
            return source->volume;
        return std::nullopt;
    }
    std::optional<std::vector<std::uint32_t>> UnsignedValues(const MixerControl &control,
                                                             std::uint32_t channels) override
    {
        Source *source = VolumeOf(control);
        if (!source || channels == 0 || channels > source->values.size())
            return std::nullopt;
        return std::vector<std::uint32_t>(source->values.begin(), source->values.begin() + channels);
    }
    bool SetUnsignedValues(const MixerControl &control, const std::vector<std::uint32_t> &values) override
    {
        Source *source = VolumeOf(control);
        if (!source || values.size() > source->values.size())
            return false;
        std::copy(values.begin(), values.end(), source->values.begin());
        ++card.volumeWrites;
        return true;
    }
    std::optional<std::vector<MixerListItem>> ListTexts(const MixerControl &control) override
    {
        if (!IsSelector(control) || card.failListTexts)
            return std::nullopt;
        return card.items;
    }
    std::optional<std::vector<bool>> BooleanValues(const MixerControl &control) override
    {
        if (!IsSelector(control) || card.failSelectionRead)
            return std::nullopt;
        return card.selected;
    }
    bool SetBooleanValues(const MixerControl &control, const std::vector<bool> &values) override
    {
        if (!IsSelector(control) || values.size() != card.selected.size())
            return false;
        card.selected = values;
        ++card.selectionWrites;
        return true;
    }

private:
    using Source = FakeMixerCard::Source;
    Source *SourceOf(std::uint32_t lineId)
    {
        for (auto &source : card.sources)
            if (source.line.lineId == lineId)
                return &source;
        return nullptr;
    }
    Source *VolumeOf(const MixerControl &control)
    {
        for (auto &source : card.sources)
            if (source.volume && source.volume->controlId == control.controlId)
                return &source;
        return nullptr;
    }
    bool IsSelector(const MixerControl &control) const
    {
        return (card.mixerControl && control.controlId == card.mixerControl->controlId) ||
               (card.muxControl && control.controlId == card.muxControl->controlId);
    }

    FakeMixerCard &card;
};

class FakeMixerDevices final : public IMixerDevices {
public:
    std::unique_ptr<IMixer> Open(unsigned index) override
    {
        if (index != 0 || !card.present)
            return nullptr;
        ++card.opens;
        return std::make_unique<FakeMixerHandle>(card);
    }

    FakeMixerCard card;
};

} // namespace kestrel::media::mixer::test
