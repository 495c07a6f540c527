#include "platform/truespeech/LpcAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrel::truespeech {

LpcAnalysis::LpcAnalysis() {
  // Asymmetric window: a long rise and a short fall, peaking in the frame's
  // third quarter where the frame's own predictor is used undiluted.
  constexpr int rise = 220;
  constexpr int fall = kWindowSamples - rise;
  const double pi = std::numbers::pi;
  for (int n = 0; n < rise; ++n) window_[n] = static_cast<float>(0.54 - 0.46 * std::cos(pi * n / (rise - 1)));
  for (int n = 0; n < fall; ++n) window_[rise + n] = static_cast<float>(std::cos(0.5 * pi * (n + 1) / fall));
  // A 60 Hz Gaussian lag window keeps the predictor from resonating on single harmonics.
  for (int k = 0; k <= kOrder; ++k) {
    const double x = 2 * pi * 60.0 * k / 8000.0;
    lagWindow_[k] = std::exp(-0.5 * x * x);
  }
  lagWindow_[0] = 1.0001;  // white noise correction, against ill-conditioning
}

Reflection LpcAnalysis::analyse(std::span<const float> samples) {
  Reflection k{};
  const size_t start = samples.size() - kWindowSamples;
  std::array<double, kWindowSamples> w{};
  for (int n = 0; n < kWindowSamples; ++n) w[n] = samples[start + n] * window_[n];
  std::array<double, kOrder + 1> r{};
  for (int lag = 0; lag <= kOrder; ++lag) {
    double sum = 0;
    for (int n = lag; n < kWindowSamples; ++n) sum += w[n] * w[n - lag];
    r[lag] = sum * lagWindow_[lag];
  }
  if (r[0] < 1.0) return k;  // silence: a flat predictor

  // Levinson-Durbin with A(z) = 1 + sum a_i z^-i.
  std::array<double, kOrder + 1> a{};
  a[0] = 1;
  double error = r[0];
  for (int i = 1; i <= kOrder; ++i) {
    double acc = r[i];
    for (int j = 1; j < i; ++j) acc += a[j] * r[i - j];
    const double ki = std::clamp(-acc / error, -0.9999, 0.9999);
    std::array<double, kOrder + 1> next = a;
    for (int j = 1; j < i; ++j) next[j] = a[j] + ki * a[i - j];
    next[i] = ki;
    a = next;
    error *= 1 - ki * ki;
    k[i - 1] = ki;
  }
  return k;
}

std::array<uint8_t, kOrder> LpcAnalysis::quantise(const Reflection& k) {
  std::array<uint8_t, kOrder> index{};
  for (int i = 0; i < kOrder; ++i) {
    const double target = std::asin(k[i]);
    double best = 1e9;
    for (int c = 0; c < (1 << kReflectionBits[i]); ++c) {
      const double d = std::abs(std::asin(kReflectionCodebooks[i][c] / 32768.0) - target);
      if (d < best) {
        best = d;
        index[i] = static_cast<uint8_t>(c);
      }
    }
  }
  return index;
}

}  // namespace kestrel::truespeech
