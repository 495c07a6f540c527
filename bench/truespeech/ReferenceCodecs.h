#pragma once
// The reference codecs of the benchmark, run through GStreamer.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::bench {

// Runs 8 kHz mono S16 through a chain of elements such as "gsmenc ! gsmdec"
// and returns what comes out (8 kHz mono S16); empty with `error` set on failure.
std::vector<int16_t> runThroughGstreamer(const std::string& chain, const std::vector<int16_t>& pcm,
                                         std::string& error);

}  // namespace kestrel::bench
