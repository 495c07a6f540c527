#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::mixer {

// A sound card's mixer as lines and controls: destination lines (where
// sound goes, such as recording) with their source lines (microphone, line
// in...), and the controls of each line. The numbers are those sound
// mixers have always used.
inline constexpr std::uint32_t kComponentDstWaveIn = 7;         // the recording destination
inline constexpr std::uint32_t kComponentSrcUndefined = 0x1000; // a source of no known kind
inline constexpr std::uint32_t kComponentSrcMicrophone = 0x1003;
inline constexpr std::uint32_t kControlVolume = 0x50030001;
inline constexpr std::uint32_t kControlMixer = 0x71010001; // select any number of sources
inline constexpr std::uint32_t kControlMux = 0x70010001;   // select one source

struct MixerLine {
    std::uint32_t lineId = 0;
    std::uint32_t componentType = 0;
    std::uint32_t connections = 0; // source lines of a destination
    std::uint32_t channels = 1;
    std::string name;
};

struct MixerControl {
    std::uint32_t controlId = 0;
    std::uint32_t controlType = 0;
    bool uniform = false; // every channel has the same value
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::uint32_t items = 0; // of a mixer or multiplexer
};

// One entry of a mixer or multiplexer: the source line it selects.
struct MixerListItem {
    std::uint32_t lineId = 0;
    std::string name;
};

// One open mixer device; it closes when released.
//
// Threads: user-interface thread.
class IMixer {
public:
    virtual ~IMixer() = default;

    // The first destination line of the component type.
    virtual std::optional<MixerLine> DestinationByComponentType(std::uint32_t componentType) = 0;
    // Source line `source` (from 0 below `connections`) of a destination.
    virtual std::optional<MixerLine> SourceLine(const MixerLine &destination, std::uint32_t source) = 0;
    virtual std::optional<MixerLine> LineById(std::uint32_t lineId) = 0;
    // The line's first control of the type.
    virtual std::optional<MixerControl> ControlByType(const MixerLine &line, std::uint32_t controlType) = 0;

    // One value per channel (`channels` is 1 for a uniform control).
    virtual std::optional<std::vector<std::uint32_t>> UnsignedValues(const MixerControl &control,
                                                                     std::uint32_t channels) = 0;
    virtual bool SetUnsignedValues(const MixerControl &control, const std::vector<std::uint32_t> &values) = 0;
    // The items of a mixer or multiplexer, and one selected flag per item.
    virtual std::optional<std::vector<MixerListItem>> ListTexts(const MixerControl &control) = 0;
    virtual std::optional<std::vector<bool>> BooleanValues(const MixerControl &control) = 0;
    virtual bool SetBooleanValues(const MixerControl &control, const std::vector<bool> &values) = 0;
};

// The mixer devices of the machine.
class IMixerDevices {
public:
    virtual ~IMixerDevices() = default;
    // Null when there is no such mixer.
    virtual std::unique_ptr<IMixer> Open(unsigned index) = 0;
};

} // namespace kestrel::media::mixer
