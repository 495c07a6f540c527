#include "platform/truespeech/PulseSearch.h"

#include <algorithm>
#include <cmath>

namespace kestrel::truespeech {
namespace {

bool inFirstHalf(int pulse) { return pulse < kFirstHalfPulses; }
int halfStart(int pulse) { return inFirstHalf(pulse) ? 0 : kHalfSamples; }

// Solves the small symmetric system a x = b in place (Gaussian elimination with pivoting).
bool solve(std::array<std::array<float, kPulses>, kPulses>& a, std::array<float, kPulses>& b) {
  for (int col = 0; col < kPulses; ++col) {
    int pivot = col;
    for (int r = col + 1; r < kPulses; ++r) {
      if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
    }
    if (std::abs(a[pivot][col]) < 1e-12F) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < kPulses; ++r) {
      const float f = a[r][col] / a[col][col];
      for (int c = col; c < kPulses; ++c) a[r][c] -= f * a[col][c];
      b[r] -= f * b[col];
    }
  }
  for (int r = kPulses - 1; r >= 0; --r) {
    for (int c = r + 1; c < kPulses; ++c) b[r] -= a[r][c] * b[c];
    b[r] /= a[r][r];
  }
  return true;
}

}  // namespace

void correlateImpulseResponse(const Block& h, ImpulseCorrelation& phi) {
  // phi[i][i + d] = sum over m of h[m] h[m + d], summed up to the subframe's end.
  for (int d = 0; d < kSubframeSamples; ++d) {
    float sum = 0;
    for (int i = kSubframeSamples - 1 - d; i >= 0; --i) {
      sum += h[kSubframeSamples - 1 - d - i] * h[kSubframeSamples - 1 - i];
      phi[i][i + d] = sum;
      phi[i + d][i] = sum;
    }
  }
}

PulseSearch::PulseSearch(const Block& target, const Block& h, const ImpulseCorrelation& phi) : phi_(phi) {
  for (int n = 0; n < kSubframeSamples; ++n) {
    float sum = 0;
    for (int k = n; k < kSubframeSamples; ++k) sum += target[k] * h[k - n];
    backward_[n] = sum;
  }
}

void PulseSearch::place(int pulse, int position) {
  if (positions_[pulse] >= 0) taken_[positions_[pulse]] = false;
  positions_[pulse] = position;
  taken_[position] = true;
}

void PulseSearch::selectPositions() {
  // Greedy: add the pulse (with the sign of its correlation) that most raises
  // the normalised correlation, while its half has room.
  positions_.fill(-1);
  taken_.fill(false);
  std::array<float, kSubframeSamples> cross{};  // sum over chosen j of sign_j phi[p][position_j]
  float correlation = 0;
  float energy = 0;
  int inFirst = 0;
  int inSecond = 0;
  for (int chosen = 0; chosen < kPulses; ++chosen) {
    const int from = inFirst == kFirstHalfPulses ? kHalfSamples : 0;
    const int to = inSecond == kPulses - kFirstHalfPulses ? kHalfSamples : kSubframeSamples;
    int bestPosition = -1;
    float bestScore = -1;
    float bestSign = 1;
    for (int p = from; p < to; ++p) {
      if (taken_[p]) continue;
      const float s = backward_[p] >= 0 ? 1.0F : -1.0F;
      const float c = correlation + s * backward_[p];
      const float e = energy + phi_[p][p] + 2 * s * cross[p];
      const float score = e > 0 ? c * c / e : 0;
      if (score > bestScore) {
        bestScore = score;
        bestPosition = p;
        bestSign = s;
      }
    }
    place(chosen, bestPosition);
    correlation += bestSign * backward_[bestPosition];
    energy += phi_[bestPosition][bestPosition] + 2 * bestSign * cross[bestPosition];
    for (int p = 0; p < kSubframeSamples; ++p) cross[p] += bestSign * phi_[p][bestPosition];
    (bestPosition < kHalfSamples ? inFirst : inSecond)++;
  }
  std::sort(positions_.begin(), positions_.end());
}

void PulseSearch::optimalAmplitudes(std::array<float, kPulses>& gains) const {
  std::array<std::array<float, kPulses>, kPulses> a{};
  for (int i = 0; i < kPulses; ++i) {
    gains[i] = backward_[positions_[i]];
    for (int j = 0; j < kPulses; ++j) a[i][j] = phi_[positions_[i]][positions_[j]];
    a[i][i] *= 1.0001F;  // keeps the system solvable when the response is tiny
  }
  if (!solve(a, gains)) gains.fill(0);
}

float PulseSearch::errorOf(const std::array<float, kPulses>& amplitude) const {
  float error = 0;
  for (int i = 0; i < kPulses; ++i) {
    error -= 2 * amplitude[i] * backward_[positions_[i]];
    for (int j = 0; j < kPulses; ++j) error += amplitude[i] * amplitude[j] * phi_[positions_[i]][positions_[j]];
  }
  return error;
}

float PulseSearch::quantise(int scale, const std::array<float, kPulses>& gains, Steps& steps) const {
  const auto& levels = kPulseAmplitudes[scale];
  std::array<float, kPulses> amplitude{};
  for (int i = 0; i < kPulses; ++i) {
    int best = 0;
    for (int s = 1; s < 4; ++s) {
      if (std::abs(levels[s] - gains[i]) < std::abs(levels[best] - gains[i])) best = s;
    }
    steps[i] = best;
    amplitude[i] = levels[best];
  }
  // Coordinate descent on the true error, since the pulses interact; a
  // change of one amplitude by `delta` changes the error by
  // delta * (2 * (sum_j a_j phi_ij - d_i) + delta * phi_ii).
  std::array<float, kPulses> pull{};  // sum_j a_j phi_ij - d_i
  for (int i = 0; i < kPulses; ++i) {
    pull[i] = -backward_[positions_[i]];
    for (int j = 0; j < kPulses; ++j) pull[i] += amplitude[j] * phi_[positions_[i]][positions_[j]];
  }
  float error = errorOf(amplitude);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < kPulses; ++i) {
      const float diagonal = phi_[positions_[i]][positions_[i]];
      int bestStep = steps[i];
      float bestChange = 0;
      for (int s = 0; s < 4; ++s) {
        const float delta = levels[s] - amplitude[i];
        const float change = delta * (2 * pull[i] + delta * diagonal);
        if (change < bestChange) {
          bestChange = change;
          bestStep = s;
        }
      }
      if (bestStep == steps[i]) continue;
      const float delta = levels[bestStep] - amplitude[i];
      for (int j = 0; j < kPulses; ++j) pull[j] += delta * phi_[positions_[j]][positions_[i]];
      amplitude[i] = levels[bestStep];
      steps[i] = bestStep;
      error += bestChange;
    }
  }
  return error;
}

void PulseSearch::refinePositions(int scale, Steps& steps) {
  // Moves each pulse, in turn, to the free place and step in its half that
  // lowers the error most, the others held.
  const auto& levels = kPulseAmplitudes[scale];
  for (int pass = 0; pass < 2; ++pass) {
    for (int j = 0; j < kPulses; ++j) {
      float othersCross[kSubframeSamples];
      for (int p = halfStart(j); p < halfStart(j) + kHalfSamples; ++p) {
        float sum = 0;
        for (int k = 0; k < kPulses; ++k) {
          if (k != j) sum += levels[steps[k]] * phi_[p][positions_[k]];
        }
        othersCross[p] = sum;
      }
      auto cost = [&](int p, int s) {
        const float a = levels[s];
        return -2 * a * backward_[p] + a * a * phi_[p][p] + 2 * a * othersCross[p];
      };
      int bestPosition = positions_[j];
      int bestStep = steps[j];
      float bestCost = cost(bestPosition, bestStep);
      for (int p = halfStart(j); p < halfStart(j) + kHalfSamples; ++p) {
        if (p != positions_[j] && taken_[p]) continue;
        for (int s = 0; s < 4; ++s) {
          const float c = cost(p, s);
          if (c < bestCost) {
            bestCost = c;
            bestPosition = p;
            bestStep = s;
          }
        }
      }
      place(j, bestPosition);
      steps[j] = bestStep;
    }
  }
}

PulseChoice PulseSearch::search() {
  selectPositions();
  std::array<float, kPulses> gains{};
  optimalAmplitudes(gains);

  int bestScale = 0;
  Steps bestSteps{};
  float bestError = 0;
  for (int scale = 0; scale < 16; ++scale) {
    Steps steps{};
    const float error = quantise(scale, gains, steps);
    if (scale == 0 || error < bestError) {
      bestError = error;
      bestScale = scale;
      bestSteps = steps;
    }
  }
  refinePositions(bestScale, bestSteps);

  // Each half's pulses go out in ascending position order, their steps with them.
  std::array<std::pair<int, int>, kPulses> ordered{};
  for (int i = 0; i < kPulses; ++i) ordered[i] = {positions_[i], bestSteps[i]};
  std::sort(ordered.begin(), ordered.begin() + kFirstHalfPulses);
  std::sort(ordered.begin() + kFirstHalfPulses, ordered.end());

  PulseChoice choice;
  choice.scale = static_cast<uint8_t>(bestScale);
  PulsePositions sorted{};
  for (int i = 0; i < kPulses; ++i) {
    sorted[i] = ordered[i].first;
    choice.valueCode = static_cast<uint16_t>(choice.valueCode | (ordered[i].second << (2 * (kPulses - 1 - i))));
  }
  choice.positionCode = encodePulsePositions(sorted);
  return choice;
}

}  // namespace kestrel::truespeech
