#pragma once
// Speech to test with: sentences spoken by espeak-ng and resampled to 8 kHz
// mono 16-bit by sox (both command-line tools must be installed).

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::truespeech {

// The samples, or an empty vector if the tools are missing or fail.
std::vector<int16_t> speak(const std::string& text, const std::string& voice = "en-us");

}  // namespace kestrel::truespeech
