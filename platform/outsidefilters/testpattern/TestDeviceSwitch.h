#pragma once
// Whether the test camera and microphone are offered as devices. `kestrel
// --test-devices` sets the variable before GStreamer starts; anyone else may
// set it by hand.

namespace kestrel::testpattern {

inline constexpr const char* kTestDevicesVariable = "KESTREL_TEST_DEVICES";

// On for any value but an empty one, "0", "no", "off" or "false".
bool TestDevicesWanted(const char* value);

// Reads kTestDevicesVariable from the environment.
bool TestDevicesWanted();

}  // namespace kestrel::testpattern
