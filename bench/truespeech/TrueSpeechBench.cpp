// TrueSpeech benchmark: quality of our encoder (decoded by FFmpeg) against
// GSM 06.10 and mu-law on the same speech, tones and noise, and the encoder's
// speed on one core.
//
//   truespeech_bench           the full run: espeak-ng sentences in two voices,
//                              LibriVox readings from pocketsphinx-testdata,
//                              word error rates with pocketsphinx
//   truespeech_bench --quick   one sentence, no recognition (CI)
//
// Speech is coded one utterance at a time; the measures run over all of them.

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

struct Utterance {
  std::vector<int16_t> pcm;
  std::string text;  // empty for tones and noise
};

struct Input {
  std::string name;
  std::vector<Utterance> utterances;
};

// Recordings of read speech with their transcripts, from pocketsphinx-testdata.
const char* const kRecordingDirectory = "/usr/share/pocketsphinx/test/data/librivox";
const std::vector<std::pair<std::string, std::string>> kRecordings = {
    {"sense_and_sensibility_01_austen_64kb-0870",
     "and mister john dashwood had then leisure to consider how much there might be prudently in his power to do "
     "for them"},
    {"sense_and_sensibility_01_austen_64kb-0880", "he was not an ill disposed young man"},
    {"sense_and_sensibility_01_austen_64kb-0890",
     "unless to be rather cold hearted and rather selfish is to be ill disposed"},
    {"sense_and_sensibility_01_austen_64kb-0920",
     "had he married a more a amiable woman he might have been made still more respectable than he was"},
    {"sense_and_sensibility_01_austen_64kb-0930", "he might even have been made amiable himself"},
};

std::vector<int16_t> readAt8kHz(const std::string& wavPath) {
  std::vector<int16_t> samples;
  const std::string command =
      "sox -D '" + wavPath + "' -t raw -r 8000 -c 1 -b 16 -e signed-integer -L - 2>/dev/null";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    int16_t buffer[4096];
    size_t n;
    while ((n = fread(buffer, sizeof(int16_t), 4096, pipe)) > 0) samples.insert(samples.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) samples.clear();
  }
  return samples;
}

std::vector<int16_t> joined(const Input& input) {
  std::vector<int16_t> all;
  for (const auto& u : input.utterances) all.insert(all.end(), u.pcm.begin(), u.pcm.end());
  return all;
}

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
    Input speech{std::string("espeak ") + voice, {}};
    for (size_t i = 0; i < sentences; ++i) {
      const auto pcm = speak(kSentences[i], voice);
      if (!pcm.empty()) speech.utterances.push_back({normalised(pcm, 20000), kSentences[i]});
    }
    if (!speech.utterances.empty()) inputs.push_back(speech);
    if (quick) break;
  }
  if (!quick) {
    Input reading{"LibriVox reading", {}};
    for (const auto& [name, text] : kRecordings) {
      const auto pcm = readAt8kHz(std::string(kRecordingDirectory) + "/" + name + ".wav");
      if (!pcm.empty()) reading.utterances.push_back({pcm, text});
    }
    if (!reading.utterances.empty()) inputs.push_back(reading);
  }
  for (double frequency : {300.0, 1000.0}) {
    Utterance tone{std::vector<int16_t>(16000), {}};
    for (size_t n = 0; n < tone.pcm.size(); ++n) {
      tone.pcm[n] = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * frequency * n / 8000));
    }
    inputs.push_back({"tone " + std::to_string(int(frequency)) + " Hz", {tone}});
  }
  std::mt19937 random(1);
  std::normal_distribution<double> gauss(0, 3000);
  Utterance noise{std::vector<int16_t>(16000), {}};
  for (auto& s : noise.pcm) s = static_cast<int16_t>(std::clamp(gauss(random), -32768.0, 32767.0));
  inputs.push_back({"white noise", {noise}});
  return inputs;
}

double encodingSpeed(const std::vector<int16_t>& pcm, int repetitions) {
  // CPU time of this thread, the best of several runs: the figure for one
  // core, as little disturbed as can be by whatever else the machine runs.
  double best = 1e30;
  size_t frames = 0;
  for (int r = 0; r < repetitions; ++r) {
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    frames = encodeAll(pcm).size() / kFrameBytes;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    best = std::min(best, double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) * 1e-9);
  }
  return double(frames) * kFrameSamples / 8000.0 / best;
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  setvbuf(stdout, nullptr, _IOLBF, 0);  // rows appear as they are measured
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const auto inputs = makeInputs(quick);
  if (inputs.empty() || inputs[0].utterances[0].text.empty()) {
    std::fprintf(stderr, "no speech: espeak-ng and sox are needed\n");
    return 1;
  }

  struct Codec {
    const char* name;
    std::vector<int16_t> (*run)(const std::vector<int16_t>&, std::string&);
  };
  const Codec codecs[] = {
      {"TrueSpeech", trueSpeech},
      {"GSM 06.10",
       [](const std::vector<int16_t>& p, std::string& e) { return runThroughGstreamer("gsmenc ! gsmdec", p, e); }},
      {"mu-law",
       [](const std::vector<int16_t>& p, std::string& e) { return runThroughGstreamer("mulawenc ! mulawdec", p, e); }},
  };

  int failures = 0;
  std::printf("%-20s %-11s %6s %10s %8s %14s %12s\n", "input", "codec", "delay", "segSNR dB", "LSD dB",
              "WER vs orig.", "WER vs text");
  for (const auto& input : inputs) {
    const bool recognising = !quick && !input.utterances[0].text.empty();
    // Word errors are summed over the utterances, then divided by the reference words.
    std::vector<std::vector<std::string>> heardOriginal;
    if (recognising) {
      size_t errors = 0, words = 0;
      for (const auto& u : input.utterances) {
        heardOriginal.push_back(recognise(u.pcm).value_or(std::vector<std::string>{}));
        errors += static_cast<size_t>(std::lround(wordErrorRate(wordsOf(u.text), heardOriginal.back()) * wordsOf(u.text).size()));
        words += wordsOf(u.text).size();
      }
      std::printf("%-20s %-11s %6s %10s %8s %14s %11.1f%%\n", input.name.c_str(), "(original)", "", "", "", "",
                  100.0 * errors / std::max<size_t>(words, 1));
    }
    for (const auto& codec : codecs) {
      std::string error;
      std::vector<int16_t> decoded;
      size_t errorsVsOriginal = 0, wordsOriginal = 0, errorsVsText = 0, wordsText = 0;
      bool failed = false;
      for (size_t i = 0; i < input.utterances.size() && !failed; ++i) {
        const auto& u = input.utterances[i];
        auto out = codec.run(u.pcm, error);
        if (out.size() + 2 * kFrameSamples < u.pcm.size()) {
          failed = true;
          break;
        }
        out.resize(u.pcm.size(), 0);
        decoded.insert(decoded.end(), out.begin(), out.end());
        if (recognising) {
          const auto heard = recognise(out).value_or(std::vector<std::string>{});
          errorsVsOriginal += static_cast<size_t>(std::lround(wordErrorRate(heardOriginal[i], heard) * heardOriginal[i].size()));
          wordsOriginal += heardOriginal[i].size();
          errorsVsText += static_cast<size_t>(std::lround(wordErrorRate(wordsOf(u.text), heard) * wordsOf(u.text).size()));
          wordsText += wordsOf(u.text).size();
        }
      }
      if (failed) {
        std::printf("%-20s %-11s failed: %s\n", input.name.c_str(), codec.name, error.c_str());
        ++failures;
        continue;
      }
      const auto original = joined(input);
      // The codecs here decode without delay, but a decoder that lagged would be measured unfairly.
      const int delay = alignmentDelay(original, decoded, 400);
      const auto aligned = std::span<const int16_t>(decoded).subspan(delay);
      std::printf("%-20s %-11s %6d %10.2f %8.2f", input.name.c_str(), codec.name, delay,
                  segmentalSnrDb(original, aligned), logSpectralDistanceDb(original, aligned));
      if (recognising) {
        std::printf(" %13.1f%% %11.1f%%", 100.0 * errorsVsOriginal / std::max<size_t>(wordsOriginal, 1),
                    100.0 * errorsVsText / std::max<size_t>(wordsText, 1));
      }
      std::printf("\n");
    }
  }
  const double speed = encodingSpeed(joined(inputs[0]), quick ? 3 : 10);
  std::printf("\nTrueSpeech encoding speed: %.0f x real time on one core\n", speed);
  return failures == 0 ? 0 : 1;
}
