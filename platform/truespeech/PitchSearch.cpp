#include "platform/truespeech/PitchSearch.h"

#include <algorithm>

namespace kestrel::truespeech {
namespace {

// Candidates of the fast (linear) estimate that are re-scored exactly.
constexpr size_t kExactCandidates = 4;
// Choices handed on for the pulse search to decide between.
constexpr size_t kChoices = 3;

float dot(const float* a, const float* b) {
  float sum = 0;
  for (int i = 0; i < kSubframeSamples; ++i) sum += a[i] * b[i];
  return sum;
}

}  // namespace

PitchSearch::PitchSearch(const Block& target, const Block& impulseResponse, const TrueSpeechSynthesis& decoder)
    : target_(target), h_(impulseResponse), decoder_(decoder) {
  for (int i = 0; i < kHistory; ++i) history_[i] = static_cast<int16_t>(decoder.history()[i]);
}

void PitchSearch::filterLags(int firstLag, int lastLag) {
  firstLag_ = firstLag;
  const int count = lastLag - firstLag + 1;
  filtered_.assign(count, Block{});
  // The lagged history splits into its first period, which one more sample of
  // lag merely shifts (so its filtered form is updated, not recomputed), and
  // the periodic repetition of short lags, which is the filtered vector itself
  // delayed by the lag.
  Block firstPeriod{};
  for (int lag = firstLag; lag <= lastLag; ++lag) {
    const float newest = history_[kHistory - lag];
    if (lag == firstLag) {
      Block head{};
      for (int i = 0; i < std::min(lag, kSubframeSamples); ++i) head[i] = history_[kHistory - lag + i];
      convolve(h_, head.data(), firstPeriod.data());
    } else {
      for (int n = kSubframeSamples - 1; n > 0; --n) firstPeriod[n] = firstPeriod[n - 1] + h_[n] * newest;
      firstPeriod[0] = h_[0] * newest;
    }
    Block& y = filtered_[lag - firstLag];
    for (int n = 0; n < kSubframeSamples; ++n) y[n] = firstPeriod[n] + (n >= lag ? y[n - lag] : 0.0F);
  }
  correlation_.resize(count);
  energy_.resize(count);
  crossNext_.assign(count, 0);
  for (int i = 0; i < count; ++i) {
    correlation_[i] = dot(target_.data(), filtered_[i].data());
    energy_[i] = dot(filtered_[i].data(), filtered_[i].data());
    if (i + 1 < count) crossNext_[i] = dot(filtered_[i + 1].data(), filtered_[i].data());
  }
}

float PitchSearch::approximateError(int offset, int filter) const {
  // The decoder's taps apply to the history at lags offset + 1 and offset.
  const float f0 = kPitchFilterTaps[filter][0] / 16384.0F;
  const float f1 = kPitchFilterTaps[filter][1] / 16384.0F;
  const int far = offset + 1 - firstLag_;
  const int near = offset - firstLag_;
  return -2 * (f0 * correlation_[far] + f1 * correlation_[near]) + f0 * f0 * energy_[far] +
         f1 * f1 * energy_[near] + 2 * f0 * f1 * crossNext_[near];
}

std::vector<PitchChoice> PitchSearch::bestExact(std::vector<Candidate>& candidates, bool choosesBase,
                                                int lagBase) const {
  const size_t keep = std::min(kExactCandidates, candidates.size());
  std::partial_sort(candidates.begin(), candidates.begin() + keep, candidates.end(),
                    [](const Candidate& a, const Candidate& b) { return a.error < b.error; });

  std::vector<std::pair<float, PitchChoice>> scored;
  PitchChoice off;
  // Going without keeps a sensible base for the second subframe all the same.
  off.lagBase = choosesBase && !candidates.empty() ? std::max(0, candidates[0].offset - kMinLag - 2) : lagBase;
  scored.emplace_back(squaredError(target_, Block{}), off);
  for (size_t c = 0; c < keep; ++c) {
    PitchChoice choice;
    const int lagIndex = candidates[c].offset - kMinLag;
    choice.lagBase = choosesBase ? std::max(0, lagIndex - 2) : lagBase;
    choice.code = choosesBase ? (lagIndex - choice.lagBase) * kPitchFilters + candidates[c].filter
                              : candidates[c].code;
    decoder_.longTermVector(choice.lagBase, choice.code, choice.vector);
    convolve(h_, toBlock(choice.vector).data(), choice.filtered.data());
    scored.emplace_back(squaredError(target_, choice.filtered), choice);
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<PitchChoice> best;
  for (size_t i = 0; i < std::min(kChoices, scored.size()); ++i) best.push_back(scored[i].second);
  return best;
}

std::vector<PitchChoice> PitchSearch::searchAnyLag() {
  filterLags(kMinLag, kMaxLag + 1);
  std::vector<Candidate> candidates;
  candidates.reserve((kMaxLag - kMinLag + 1) * kPitchFilters);
  for (int offset = kMinLag; offset <= kMaxLag; ++offset) {
    for (int f = 0; f < kPitchFilters; ++f) candidates.push_back({offset, f, -1, approximateError(offset, f)});
  }
  return bestExact(candidates, true, 0);
}

std::vector<PitchChoice> PitchSearch::searchFromBase(int lagBase) {
  const int first = std::min(lagBase + kMinLag, kMaxLag);
  const int last = std::min(lagBase + kMinLag + 5, kMaxLag);
  filterLags(first, last + 1);
  std::vector<Candidate> candidates;
  for (int code = 0; code < kPitchCodeOff; ++code) {
    const int offset = std::min(code / kPitchFilters + lagBase + kMinLag, kMaxLag);
    const int filter = code % kPitchFilters;
    candidates.push_back({offset, filter, code, approximateError(offset, filter)});
  }
  return bestExact(candidates, false, lagBase);
}

}  // namespace kestrel::truespeech
