#pragma once

#include "media/mixer/Mixer.h"

#include <optional>

namespace kestrel::media::mixer {

// The microphone's recording level and the recording source, on mixer
// device 0. Each operation opens the mixer, works on it and closes it; no
// mixer, no recording destination, no microphone among its sources or no
// volume control on the microphone means nothing is read or written.

inline constexpr int kLevelScale = 100; // the level shown to the user: 0..100

// Reads the microphone's level in percent (truncated; left empty when there
// is nothing to read) and returns the microphone's source index on the
// recording destination: the connection count when no source is a microphone
// (0 without a mixer or destination).
int GetMicLevel(IMixerDevices &mixers, std::optional<int> &percent);

// Sets the microphone's level from a percentage (0..100), on the first and
// the last channel; other channels keep their values.
void SetMicLevel(IMixerDevices &mixers, int percent);

// Makes the microphone the only selected recording source: the item of the
// destination's mixer (else multiplexer) whose line is a microphone, else
// the item named "Microphone", else `fallbackIndex`. An index that names no
// item, or a destination with neither control, leaves the selection as it is.
void SelectRecordSource(IMixerDevices &mixers, int fallbackIndex);

} // namespace kestrel::media::mixer
