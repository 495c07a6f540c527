#include "platform/truespeech/check/SignalMeasures.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace kestrel::truespeech {
namespace {

constexpr size_t kFrame = 240;
constexpr size_t kFft = 256;

bool hasSpeech(std::span<const int16_t> frame) {
  // -50 dBFS RMS.
  double energy = 0;
  for (int16_t s : frame) energy += double(s) * s;
  return energy / frame.size() > std::pow(32768.0 * std::pow(10.0, -50.0 / 20), 2);
}

void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi / double(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (size_t k = 0; k < len / 2; ++k, w *= step) {
        const auto u = a[i + k];
        const auto v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
}

std::vector<double> powerSpectrum(std::span<const int16_t> frame) {
  std::vector<std::complex<double>> a(kFft);
  for (size_t n = 0; n < frame.size(); ++n) {
    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / (frame.size() - 1));
    a[n] = frame[n] * w;
  }
  fft(a);
  std::vector<double> power(kFft / 2 + 1);
  for (size_t k = 0; k < power.size(); ++k) power[k] = std::norm(a[k]);
  return power;
}

double magnitudeAt(std::span<const int16_t> samples, double sampleRate, double frequency) {
  // Goertzel, with a Hann window against leakage from the edges.
  const double omega = 2 * std::numbers::pi * frequency / sampleRate;
  const double coefficient = 2 * std::cos(omega);
  double s1 = 0;
  double s2 = 0;
  const size_t n = samples.size();
  for (size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
    const double s = samples[i] * w + coefficient * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

}  // namespace

int alignmentDelay(std::span<const int16_t> original, std::span<const int16_t> decoded, int maxDelay) {
  int best = 0;
  double bestScore = -2;
  for (int d = 0; d <= maxDelay && size_t(d) < decoded.size(); ++d) {
    const size_t n = std::min(original.size(), decoded.size() - d);
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i < n; ++i) {
      const double x = original[i];
      const double y = decoded[i + d];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    // Periodic signals match at every period: keep the shortest delay unless a longer one is clearly better.
    const double score = xy / std::sqrt(xx * yy + 1);
    if (score > bestScore + 1e-3) {
      bestScore = score;
      best = d;
    }
  }
  return best;
}

// Mean of `measure(original frame, decoded frame)` over the frames with speech.
template <typename Measure>
double meanOverSpeechFrames(std::span<const int16_t> original, std::span<const int16_t> decoded, Measure measure) {
  double sum = 0;
  int frames = 0;
  for (size_t at = 0; at + kFrame <= std::min(original.size(), decoded.size()); at += kFrame) {
    const auto x = original.subspan(at, kFrame);
    if (!hasSpeech(x)) continue;
    sum += measure(x, decoded.subspan(at, kFrame));
    ++frames;
  }
  return frames ? sum / frames : 0;
}

double segmentalSnrDb(std::span<const int16_t> original, std::span<const int16_t> decoded) {
  return meanOverSpeechFrames(original, decoded, [](auto x, auto y) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < kFrame; ++i) {
      const double e = double(x[i]) - y[i];
      signal += double(x[i]) * x[i];
      noise += e * e;
    }
    return std::clamp(10 * std::log10((signal + 1) / (noise + 1)), -10.0, 35.0);
  });
}

double logSpectralDistanceDb(std::span<const int16_t> original, std::span<const int16_t> decoded) {
  return meanOverSpeechFrames(original, decoded, [](auto x, auto y) {
    const auto p = powerSpectrum(x);
    const auto q = powerSpectrum(y);
    const double floor = *std::max_element(p.begin(), p.end()) * 1e-6;
    double squares = 0;
    for (size_t k = 1; k < p.size(); ++k) {
      const double d = 10 * std::log10(std::max(p[k], floor)) - 10 * std::log10(std::max(q[k], floor));
      squares += d * d;
    }
    return std::sqrt(squares / double(p.size() - 1));
  });
}

double dominantFrequencyHz(std::span<const int16_t> samples, double sampleRate) {
  double best = 0;
  double bestMagnitude = -1;
  for (double f = 20; f < sampleRate / 2 - 20; f += 5) {
    const double m = magnitudeAt(samples, sampleRate, f);
    if (m > bestMagnitude) {
      bestMagnitude = m;
      best = f;
    }
  }
  const double coarse = best;
  for (double f = coarse - 5; f <= coarse + 5; f += 0.1) {
    const double m = magnitudeAt(samples, sampleRate, f);
    if (m > bestMagnitude) {
      bestMagnitude = m;
      best = f;
    }
  }
  return best;
}

double rmsDbfs(std::span<const int16_t> samples) {
  double energy = 0;
  for (int16_t s : samples) energy += double(s) * s;
  return 10 * std::log10(energy / std::max<size_t>(samples.size(), 1) / (32768.0 * 32768.0) + 1e-20);
}

}  // namespace kestrel::truespeech
