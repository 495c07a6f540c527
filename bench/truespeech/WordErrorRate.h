#pragma once
// Word error rate with pocketsphinx (pocketsphinx_continuous and its US
// English model): recognise a recording and compare word sequences.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::bench {

// The words pocketsphinx hears in 8 kHz mono samples (upsampled to the
// model's 16 kHz by sox); nullopt if the tools are not installed.
std::optional<std::vector<std::string>> recognise(const std::vector<int16_t>& pcm);

// Lower-case words of a text, punctuation dropped.
std::vector<std::string> wordsOf(const std::string& text);

// Levenshtein distance of the word sequences over the reference's length.
double wordErrorRate(const std::vector<std::string>& reference, const std::vector<std::string>& hypothesis);

}  // namespace kestrel::bench
