#include "platform/truespeech/TrueSpeechFrame.h"

namespace kestrel::truespeech {
namespace {

class BitWriter {
 public:
  explicit BitWriter(FrameBytes& out) : out_(out) { out_.fill(0); }
  void put(uint32_t value, int bits) {
    for (int bit = bits - 1; bit >= 0; --bit, ++position_) {
      if ((value >> bit) & 1U) {
        out_[byteOf(position_)] |= static_cast<uint8_t>(0x80U >> (position_ % 8));
      }
    }
  }

 private:
  // Bits run from the top of each little-endian 32-bit word down.
  static int byteOf(int bitPosition) {
    const int word = bitPosition / 32;
    const int byteInWord = (bitPosition % 32) / 8;
    return word * 4 + (3 - byteInWord);
  }
  friend class BitReader;
  FrameBytes& out_;
  int position_ = 0;
};

class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t, kFrameBytes> in) : in_(in) {}
  uint32_t get(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i, ++position_) {
      const uint8_t byte = in_[BitWriter::byteOf(position_)];
      value = (value << 1) | ((byte >> (7 - position_ % 8)) & 1U);
    }
    return value;
  }

 private:
  std::span<const uint8_t, kFrameBytes> in_;
  int position_ = 0;
};

// Number of ways to place `count` pulses in positions after `index` of a 30-sample half,
// i.e. the binomial coefficient C(29 - index, count).
uint32_t waysAfter(int index, int count) {
  const int n = kHalfSamples - 1 - index;
  if (count > n) return 0;
  uint64_t ways = 1;
  for (int i = 1; i <= count; ++i) ways = ways * static_cast<uint64_t>(n - count + i) / i;
  return static_cast<uint32_t>(ways);
}

uint32_t encodeHalf(const int* positions, int count, int firstSample) {
  uint32_t code = 0;
  int cursor = 0;
  for (int p = 0; p < count; ++p) {
    const int remaining = count - 1 - p;
    for (int i = cursor; i < positions[p] - firstSample; ++i) code += waysAfter(i, remaining);
    cursor = positions[p] - firstSample + 1;
  }
  return code;
}

int decodeHalf(uint32_t code, int count, int firstSample, int* positions) {
  int placed = 0;
  for (int i = 0; i < kHalfSamples && placed < count; ++i) {
    const uint32_t ways = waysAfter(i, count - 1 - placed);
    if (code >= ways) {
      code -= ways;
    } else {
      positions[placed++] = firstSample + i;
    }
  }
  return placed;
}

}  // namespace

FrameBytes packFrame(const TrueSpeechFrame& f) {
  FrameBytes bytes;
  BitWriter w(bytes);
  for (int i = kOrder - 1; i >= 0; --i) w.put(f.reflection[i], kReflectionBits[i]);
  w.put(f.interpolate ? 1 : 0, 1);
  w.put(f.lagBase[0] >> 4, 4);
  for (int q = kSubframes - 1; q >= 0; --q) w.put(f.pitchCode[q], 7);
  w.put(f.lagBase[1] & 0xF, 4);
  w.put(f.pulseValues[1], 14);
  w.put(f.pulseValues[0], 14);
  w.put(f.lagBase[1] >> 4, 4);
  w.put(f.pulseValues[3], 14);
  w.put(f.pulseValues[2], 14);
  for (int q = 0; q < kSubframes; ++q) {
    w.put((f.lagBase[0] >> q) & 1U, 1);
    w.put(f.pulsePositions[q], 27);
    w.put(f.pulseScale[q], 4);
  }
  return bytes;
}

TrueSpeechFrame unpackFrame(std::span<const uint8_t, kFrameBytes> bytes) {
  TrueSpeechFrame f;
  BitReader r(bytes);
  for (int i = kOrder - 1; i >= 0; --i) f.reflection[i] = static_cast<uint8_t>(r.get(kReflectionBits[i]));
  f.interpolate = r.get(1) != 0;
  uint32_t base0 = r.get(4) << 4;
  for (int q = kSubframes - 1; q >= 0; --q) f.pitchCode[q] = static_cast<uint8_t>(r.get(7));
  uint32_t base1 = r.get(4);
  f.pulseValues[1] = static_cast<uint16_t>(r.get(14));
  f.pulseValues[0] = static_cast<uint16_t>(r.get(14));
  base1 |= r.get(4) << 4;
  f.pulseValues[3] = static_cast<uint16_t>(r.get(14));
  f.pulseValues[2] = static_cast<uint16_t>(r.get(14));
  for (int q = 0; q < kSubframes; ++q) {
    base0 |= r.get(1) << q;
    f.pulsePositions[q] = r.get(27);
    f.pulseScale[q] = static_cast<uint8_t>(r.get(4));
  }
  f.lagBase = {static_cast<uint8_t>(base0), static_cast<uint8_t>(base1)};
  return f;
}

uint32_t encodePulsePositions(const PulsePositions& positions) {
  const uint32_t first = encodeHalf(positions.data(), kFirstHalfPulses, 0);
  const uint32_t second = encodeHalf(positions.data() + kFirstHalfPulses, kPulses - kFirstHalfPulses, kHalfSamples);
  return (first << 15) | second;
}

bool decodePulsePositions(uint32_t code, PulsePositions& positions) {
  const int first = decodeHalf(code >> 15, kFirstHalfPulses, 0, positions.data());
  const int second = decodeHalf(code & 0x7FFF, kPulses - kFirstHalfPulses, kHalfSamples,
                                positions.data() + kFirstHalfPulses);
  return first == kFirstHalfPulses && second == kPulses - kFirstHalfPulses;
}

}  // namespace kestrel::truespeech
