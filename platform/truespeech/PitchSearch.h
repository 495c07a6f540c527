#pragma once
// Closed-loop search of the long-term (pitch) predictor of one subframe: the
// lag and two-tap filter whose contribution, seen through the weighted
// synthesis filter, comes closest to the target.

#include <vector>

#include "platform/truespeech/TrueSpeechSynthesis.h"
#include "platform/truespeech/WeightedSynthesis.h"

namespace kestrel::truespeech {

struct PitchChoice {
  int lagBase = 0;
  int code = kPitchCodeOff;
  Subframe vector{};  // exactly what the decoder adds to the excitation
  Block filtered{};   // that vector through the weighted synthesis filter
};

class PitchSearch {
 public:
  PitchSearch(const Block& target, const Block& impulseResponse, const TrueSpeechSynthesis& decoder);
  // The few best choices, best first (going without is always a candidate).
  // First subframe of a half frame: any lag; each choice sets the half frame's
  // lag base so that the second subframe can still move a little either way.
  std::vector<PitchChoice> searchAnyLag();
  // Second subframe: lags base + 18 .. base + 23 only.
  std::vector<PitchChoice> searchFromBase(int lagBase);

 private:
  struct Candidate {
    int offset;
    int filter;
    int code;  // the pitch code under a fixed lag base, or -1 while the base is open
    float error;
  };
  void filterLags(int firstLag, int lastLag);
  float approximateError(int offset, int filter) const;
  std::vector<PitchChoice> bestExact(std::vector<Candidate>& candidates, bool choosesBase, int lagBase) const;

  const Block& target_;
  const Block& h_;
  const TrueSpeechSynthesis& decoder_;
  std::array<int16_t, kHistory> history_{};
  int firstLag_ = 0;
  std::vector<Block> filtered_;       // the lagged history through the filter, per lag
  std::vector<float> correlation_;    // <target, filtered>
  std::vector<float> energy_;         // <filtered, filtered>
  std::vector<float> crossNext_;      // <filtered(lag + 1), filtered(lag)>
};

}  // namespace kestrel::truespeech
