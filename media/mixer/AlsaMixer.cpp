#include "media/mixer/AlsaMixer.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <sstream>

namespace kestrel::media::mixer {

namespace {

// Line and control identifiers: a kind in the high half, an index in the low.
constexpr std::uint32_t kDestinationLine = 0x00010000;
constexpr std::uint32_t kSourceLineBase = 0x00020000;
constexpr std::uint32_t kMuxItemLineBase = 0x00030000;
constexpr std::uint32_t kVolumeControlBase = 0x00100000;
constexpr std::uint32_t kMixerControl = 0x00200000;
constexpr std::uint32_t kMuxControl = 0x00300000;
constexpr std::uint32_t kKindMask = 0xFFFF0000;
constexpr std::uint32_t kIndexMask = 0x0000FFFF;
constexpr std::uint32_t kDestinationChannels = 2;
constexpr const char *kMasterCapture = "Capture";

// A word of the name begins with "mic": "Mic", "Front Mic", "Headset Mic1", "Microphone".
bool NamesMicrophone(const std::string &name)
{
    std::istringstream words(name);
    std::string word;
    while (words >> word) {
        if (word.size() >= 3 && std::tolower(static_cast<unsigned char>(word[0])) == 'm' &&
            std::tolower(static_cast<unsigned char>(word[1])) == 'i' &&
            std::tolower(static_cast<unsigned char>(word[2])) == 'c')
            return true;
    }
    return false;
}

std::uint32_t ClampToUnsigned(long value)
{
    if (value <= 0)
        return 0;
    return static_cast<std::uint32_t>(std::min<unsigned long>(static_cast<unsigned long>(value),
                                                             std::numeric_limits<std::uint32_t>::max()));
}

} // namespace

CAlsaMixer::CAlsaMixer(std::unique_ptr<IAlsaMixerElements> elements) : elements(std::move(elements))
{
    const std::vector<AlsaElementInfo> &infos = this->elements->Elements();
    bool microphoneNamed = false;
    for (const AlsaElementInfo &info : infos)
        if ((info.captureVolume || info.captureSwitch) && !info.captureEnum && NamesMicrophone(info.name))
            microphoneNamed = true;
    for (std::size_t e = 0; e < infos.size(); ++e) {
        const AlsaElementInfo &info = infos[e];
        if (info.captureEnum) {
            if (!mux)
                mux = e;
            continue;
        }
        if (!info.captureVolume && !info.captureSwitch)
            continue;
        const bool master = info.name == kMasterCapture;
        const bool microphone = microphoneNamed ? NamesMicrophone(info.name) : master;
        sources.push_back({e, microphone ? kComponentSrcMicrophone : kComponentSrcUndefined});
        // The card's master capture switch selects no source: clearing it would mute everything.
        if (info.captureSwitch && !master)
            switches.push_back(sources.size() - 1);
    }
}

MixerLine CAlsaMixer::Destination() const
{
    return {kDestinationLine, kComponentDstWaveIn, static_cast<std::uint32_t>(sources.size()), kDestinationChannels,
            kMasterCapture};
}

MixerLine CAlsaMixer::SourceLineAt(std::size_t source) const
{
    const AlsaElementInfo &info = Info(sources[source].element);
    const auto channels = static_cast<std::uint32_t>(std::max<std::size_t>(info.captureChannels.size(), 1));
    return {kSourceLineBase + static_cast<std::uint32_t>(source), sources[source].componentType, 0, channels,
            info.name};
}

std::optional<MixerLine> CAlsaMixer::DestinationByComponentType(std::uint32_t componentType)
{
    if (componentType != kComponentDstWaveIn || !HasDestination())
        return std::nullopt;
    return Destination();
}

std::optional<MixerLine> CAlsaMixer::SourceLine(const MixerLine &destination, std::uint32_t source)
{
    if (destination.lineId != kDestinationLine || source >= sources.size())
        return std::nullopt;
    return SourceLineAt(source);
}

std::optional<MixerLine> CAlsaMixer::LineById(std::uint32_t lineId)
{
    const std::uint32_t index = lineId & kIndexMask;
    switch (lineId & kKindMask) {
    case kDestinationLine:
        if (index == 0 && HasDestination())
            return Destination();
        break;
    case kSourceLineBase:
        if (index < sources.size())
            return SourceLineAt(index);
        break;
    case kMuxItemLineBase:
        if (mux && index < Info(*mux).enumItems.size()) {
            const std::string &name = Info(*mux).enumItems[index];
            return MixerLine{lineId, NamesMicrophone(name) ? kComponentSrcMicrophone : kComponentSrcUndefined, 0, 1,
                             name};
        }
        break;
    default:
        break;
    }
    return std::nullopt;
}

std::optional<MixerControl> CAlsaMixer::ControlByType(const MixerLine &line, std::uint32_t controlType)
{
    if (line.lineId == kDestinationLine && HasDestination()) {
        if (controlType == kControlMixer && !switches.empty())
            return MixerControl{kMixerControl, kControlMixer, false, 0, 1, static_cast<std::uint32_t>(switches.size())};
        if (controlType == kControlMux && mux)
            return MixerControl{kMuxControl, kControlMux, false, 0, 1,
                                static_cast<std::uint32_t>(Info(*mux).enumItems.size())};
        return std::nullopt;
    }
    if ((line.lineId & kKindMask) != kSourceLineBase || controlType != kControlVolume)
        return std::nullopt;
    const std::uint32_t source = line.lineId & kIndexMask;
    if (source >= sources.size())
        return std::nullopt;
    const AlsaElementInfo &info = Info(sources[source].element);
    if (!info.captureVolume || info.maximum <= info.minimum)
        return std::nullopt;
    const bool uniform = info.captureVolumeJoined || info.captureChannels.size() <= 1;
    return MixerControl{kVolumeControlBase + source, kControlVolume, uniform, 0,
                        ClampToUnsigned(info.maximum - info.minimum), 0};
}

std::optional<std::size_t> CAlsaMixer::VolumeElement(const MixerControl &control) const
{
    if ((control.controlId & kKindMask) != kVolumeControlBase)
        return std::nullopt;
    const std::uint32_t source = control.controlId & kIndexMask;
    if (source >= sources.size() || !Info(sources[source].element).captureVolume)
        return std::nullopt;
    return sources[source].element;
}

std::optional<std::vector<std::uint32_t>> CAlsaMixer::UnsignedValues(const MixerControl &control,
                                                                     std::uint32_t channels)
{
    const std::optional<std::size_t> element = VolumeElement(control);
    if (!element)
        return std::nullopt;
    const AlsaElementInfo &info = Info(*element);
    if (channels == 0 || channels > std::max<std::size_t>(info.captureChannels.size(), 1))
        return std::nullopt;
    std::vector<std::uint32_t> values;
    for (std::uint32_t c = 0; c < channels; ++c) {
        const int channel = info.captureChannels.empty() ? 0 : info.captureChannels[c];
        long value = 0;
        if (!elements->CaptureVolume(*element, channel, value))
            return std::nullopt;
        values.push_back(ClampToUnsigned(value - info.minimum));
    }
    return values;
}

bool CAlsaMixer::SetUnsignedValues(const MixerControl &control, const std::vector<std::uint32_t> &values)
{
    const std::optional<std::size_t> element = VolumeElement(control);
    if (!element || values.empty())
        return false;
    const AlsaElementInfo &info = Info(*element);
    const std::vector<int> channels = info.captureChannels.empty() ? std::vector<int>{0} : info.captureChannels;
    const long range = info.maximum - info.minimum;
    bool written = true;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        // A uniform control has one value for every channel.
        const std::uint32_t step = values.size() == 1 ? values.front() : values.at(std::min(c, values.size() - 1));
        const long value = info.minimum + std::min<long>(static_cast<long>(step), range);
        written = elements->SetCaptureVolume(*element, channels[c], value) && written;
    }
    return written;
}

std::optional<std::vector<MixerListItem>> CAlsaMixer::ListTexts(const MixerControl &control)
{
    std::vector<MixerListItem> items;
    if (control.controlId == kMixerControl) {
        for (std::size_t source : switches)
            items.push_back({kSourceLineBase + static_cast<std::uint32_t>(source), Info(sources[source].element).name});
        return items;
    }
    if (control.controlId == kMuxControl && mux) {
        const std::vector<std::string> &names = Info(*mux).enumItems;
        for (std::size_t i = 0; i < names.size(); ++i)
            items.push_back({kMuxItemLineBase + static_cast<std::uint32_t>(i), names[i]});
        return items;
    }
    return std::nullopt;
}

std::optional<std::vector<bool>> CAlsaMixer::BooleanValues(const MixerControl &control)
{
    std::vector<bool> values;
    if (control.controlId == kMixerControl) {
        for (std::size_t source : switches) {
            const std::size_t element = sources[source].element;
            const std::vector<int> &channels = Info(element).captureChannels;
            bool on = false;
            if (!elements->CaptureSwitch(element, channels.empty() ? 0 : channels.front(), on))
                return std::nullopt;
            values.push_back(on);
        }
        return values;
    }
    if (control.controlId == kMuxControl && mux) {
        unsigned item = 0;
        if (!elements->EnumItem(*mux, item))
            return std::nullopt;
        for (std::size_t i = 0; i < Info(*mux).enumItems.size(); ++i)
            values.push_back(i == item);
        return values;
    }
    return std::nullopt;
}

bool CAlsaMixer::SetBooleanValues(const MixerControl &control, const std::vector<bool> &values)
{
    if (control.controlId == kMixerControl) {
        if (values.size() != switches.size())
            return false;
        bool written = true;
        for (std::size_t i = 0; i < switches.size(); ++i)
            written = elements->SetCaptureSwitch(sources[switches[i]].element, values[i]) && written;
        return written;
    }
    if (control.controlId == kMuxControl && mux) {
        // A multiplexer selects exactly one item.
        const auto selected = std::find(values.begin(), values.end(), true);
        if (values.size() != Info(*mux).enumItems.size() || selected == values.end())
            return false;
        return elements->SetEnumItem(*mux, static_cast<unsigned>(selected - values.begin()));
    }
    return false;
}

std::unique_ptr<IMixer> CAlsaMixerDevices::Open(unsigned index)
{
    if (index != 0)
        return nullptr;
    std::unique_ptr<IAlsaMixerElements> elements = opener("default");
    if (!elements)
        elements = opener("hw:0");
    if (!elements)
        return nullptr;
    return std::make_unique<CAlsaMixer>(std::move(elements));
}

} // namespace kestrel::media::mixer
