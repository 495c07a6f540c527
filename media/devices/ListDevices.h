#pragma once

#include "media/devices/CaptureSources.h"

#include <ostream>

namespace kestrel::media::devices {

// `kestrel --list-devices`: the cameras, each followed by its inputs, then
// the microphones, as the Video and Audio pages list them. One line each,
// the kind, a tab, the name:
//
//     camera<TAB>USB Camera
//     camera<TAB>TV Card
//     input<TAB>Video Tuner
//     input<TAB>Video Composite
//     microphone<TAB>Headset Microphone
//
// An input line belongs to the camera line above it; a camera without
// inputs to choose has none. Control characters in a name print as spaces.
// Nothing found prints nothing. Returns the exit code, 0.
int ListDevices(std::ostream &out, const CaptureSources &sources);

// ListDevices over the machine's devices: initialises GStreamer when that
// has not been done, finds Kestrel's own plugins (the test devices of
// KESTREL_TEST_DEVICES are among them), and lists to `out`.
int ListSystemDevices(std::ostream &out);

} // namespace kestrel::media::devices
