// TrueSpeech benchmark: quality of our encoder (decoded by FFmpeg) against
// GSM 06.10 and mu-law on the same speech, tones and noise, and the encoder's
// speed on one core.
//
//   truespeech_bench           the full run: several sentences in two voices,
//                              word error rates with pocketsphinx
//   truespeech_bench --quick   one sentence, no recognition (CI)

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench/truespeech/ReferenceCodecs.h"
#include "bench/truespeech/WordErrorRate.h"
#include "platform/truespeech/TrueSpeechEncoder.h"
#include "platform/truespeech/check/FfmpegDecoder.h"
#include "platform/truespeech/check/SignalMeasures.h"
#include "platform/truespeech/check/SpokenText.h"

using namespace kestrel::truespeech;
using kestrel::bench::recognise;
using kestrel::bench::runThroughGstreamer;
using kestrel::bench::wordErrorRate;
using kestrel::bench::wordsOf;

namespace {

const std::vector<std::string> kSentences = {
    "The birch canoe slid on the smooth planks.",
    "Glue the sheet to the dark blue background.",
    "It is easy to tell the depth of a well.",
    "These days a chicken leg is a rare dish.",
    "Rice is often served in round bowls.",
    "The juice of lemons makes fine punch.",
    "The box was thrown beside the parked truck.",
    "Four hours of steady work faced us.",
};

struct Input {
  std::string name;
  std::vector<int16_t> pcm;
  std::string text;  // spoken text, empty for tones and noise
};

std::vector<uint8_t> encodeAll(const std::vector<int16_t>& pcm) {
  TrueSpeechEncoder encoder;
  std::vector<uint8_t> frames;
  for (size_t at = 0; at + kFrameSamples <= pcm.size(); at += kFrameSamples) {
    const auto frame = encoder.encode(std::span<const int16_t, kFrameSamples>(pcm.data() + at, kFrameSamples));
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  return frames;
}

std::vector<int16_t> trueSpeech(const std::vector<int16_t>& pcm, std::string& error) {
  std::vector<int16_t> out;
  FfmpegDecoder decoder;
  if (!decoder.decode(encodeAll(pcm), out)) error = decoder.error();
  return out;
}

std::vector<int16_t> normalised(std::vector<int16_t> pcm, double peak) {
  int max = 1;
  for (int16_t s : pcm) max = std::max(max, std::abs(int(s)));
  for (auto& s : pcm) s = static_cast<int16_t>(std::lround(s * peak / max));
  return pcm;
}

std::vector<Input> makeInputs(bool quick) {
  std::vector<Input> inputs;
  const size_t sentences = quick ? 1 : kSentences.size();
  for (const char* voice : {"en-us", "en-us+f3"}) {
    Input speech{std::string("speech ") + voice, {}, {}};
    for (size_t i = 0; i < sentences; ++i) {
      const auto pcm = speak(kSentences[i], voice);
      speech.pcm.insert(speech.pcm.end(), pcm.begin(), pcm.end());
      speech.text += kSentences[i] + " ";
    }
    if (!speech.pcm.empty()) inputs.push_back({speech.name, normalised(speech.pcm, 20000), speech.text});
    if (quick) break;
  }
  for (double frequency : {300.0, 1000.0}) {
    Input tone{"tone " + std::to_string(int(frequency)) + " Hz", std::vector<int16_t>(16000), {}};
    for (size_t n = 0; n < tone.pcm.size(); ++n) {
      tone.pcm[n] = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * frequency * n / 8000));
    }
    inputs.push_back(tone);
  }
  std::mt19937 random(1);
  std::normal_distribution<double> gauss(0, 3000);
  Input noise{"white noise", std::vector<int16_t>(16000), {}};
  for (auto& s : noise.pcm) s = static_cast<int16_t>(std::clamp(gauss(random), -32768.0, 32767.0));
  inputs.push_back(noise);
  return inputs;
}

double encodingSpeed(const std::vector<int16_t>& pcm, int repetitions) {
  // CPU time of this thread: the figure for one core, whatever else runs.
  timespec start{}, end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  size_t frames = 0;
  for (int r = 0; r < repetitions; ++r) frames += encodeAll(pcm).size() / kFrameBytes;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  const double seconds = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) * 1e-9;
  return double(frames) * kFrameSamples / 8000.0 / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const auto inputs = makeInputs(quick);
  if (inputs.empty() || inputs[0].text.empty()) {
    std::fprintf(stderr, "no speech: espeak-ng and sox are needed\n");
    return 1;
  }

  struct Codec {
    const char* name;
    std::vector<int16_t> (*run)(const std::vector<int16_t>&, std::string&);
  };
  const Codec codecs[] = {
      {"TrueSpeech", trueSpeech},
      {"GSM 06.10", [](const std::vector<int16_t>& p, std::string& e) { return runThroughGstreamer("gsmenc ! gsmdec", p, e); }},
      {"mu-law", [](const std::vector<int16_t>& p, std::string& e) { return runThroughGstreamer("mulawenc ! mulawdec", p, e); }},
  };

  int failures = 0;
  std::printf("%-20s %-11s %6s %10s %8s %14s %12s\n", "input", "codec", "delay", "segSNR dB", "LSD dB",
              "WER vs orig.", "WER vs text");
  for (const auto& input : inputs) {
    std::optional<std::vector<std::string>> heardOriginal;
    if (!quick && !input.text.empty()) heardOriginal = recognise(input.pcm);
    if (heardOriginal) {
      std::printf("%-20s %-11s %6s %10s %8s %14s %11.1f%%\n", input.name.c_str(), "(original)", "", "", "", "",
                  100 * wordErrorRate(wordsOf(input.text), *heardOriginal));
    }
    for (const auto& codec : codecs) {
      std::string error;
      const auto decoded = codec.run(input.pcm, error);
      if (decoded.size() + 2 * kFrameSamples < input.pcm.size()) {
        std::printf("%-20s %-11s failed: %s\n", input.name.c_str(), codec.name, error.c_str());
        ++failures;
        continue;
      }
      const int delay = alignmentDelay(input.pcm, decoded, 400);
      const std::span<const int16_t> aligned = std::span<const int16_t>(decoded).subspan(delay);
      std::printf("%-20s %-11s %6d %10.2f %8.2f", input.name.c_str(), codec.name, delay,
                  segmentalSnrDb(input.pcm, aligned), logSpectralDistanceDb(input.pcm, aligned));
      if (heardOriginal) {
        const auto heard = recognise(decoded);
        std::printf(" %13.1f%% %11.1f%%", 100 * wordErrorRate(*heardOriginal, heard.value_or(std::vector<std::string>{})),
                    100 * wordErrorRate(wordsOf(input.text), heard.value_or(std::vector<std::string>{})));
      }
      std::printf("\n");
    }
  }
  const double speed = encodingSpeed(inputs[0].pcm, quick ? 1 : 5);
  std::printf("\nTrueSpeech encoding speed: %.0f x real time on one core\n", speed);
  return failures == 0 ? 0 : 1;
}
