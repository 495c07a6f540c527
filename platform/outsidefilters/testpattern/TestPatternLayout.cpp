#include "platform/outsidefilters/testpattern/TestPatternLayout.h"

#include <cmath>
#include <vector>

namespace kestrel::testpattern {

namespace {

// The bars of the picture, left to right, as on a studio test card. Green and
// magenta are lighter and darker than usual so that no colour's luma comes
// within 44 steps of the threshold.
constexpr Colour kBars[] = {Colour::White,   Colour::Yellow, Colour::Cyan, Colour::Green,
                            Colour::Magenta, Colour::Red,    Colour::Blue};
constexpr int kBarCount = static_cast<int>(std::size(kBars));

constexpr int kBoxCells = 4;

uint8_t ClampToByte(double value) {
  return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

// A well-mixed 64-bit hash (the finaliser of splitmix64).
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// Goes 0, 1, ..., top, top - 1, ..., 0, 1, ...
int Bounce(uint32_t step, int top) {
  const uint32_t period = 2 * static_cast<uint32_t>(top);
  const int at = static_cast<int>(step % period);
  return at <= top ? at : static_cast<int>(period) - at;
}

void PutField(CellColours& cells, int firstCell, int bits, uint64_t value) {
  for (int i = 0; i < bits; ++i) {
    const bool one = ((value >> (bits - 1 - i)) & 1U) != 0;
    cells[firstCell + i] = one ? Colour::White : Colour::Black;
  }
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFU;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
  }
  return ~crc;
}

}  // namespace

Rgb ToRgb(Colour colour) {
  switch (colour) {
    case Colour::Black: return {0, 0, 0};
    case Colour::White: return {255, 255, 255};
    case Colour::Yellow: return {255, 255, 0};
    case Colour::Cyan: return {0, 255, 255};
    case Colour::Green: return {96, 255, 96};
    case Colour::Magenta: return {160, 0, 160};
    case Colour::Red: return {192, 0, 0};
    case Colour::Blue: return {0, 0, 255};
  }
  return {0, 0, 0};
}

Yuv ToYuv(Colour colour) {
  const Rgb c = ToRgb(colour);
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  return {ClampToByte(16 + 65.481 * r + 128.553 * g + 24.966 * b),
          ClampToByte(128 - 37.797 * r - 74.203 * g + 112.0 * b),
          ClampToByte(128 + 112.0 * r - 93.786 * g - 18.214 * b)};
}

bool IsBright(Colour colour) { return ToYuv(colour).y > kLumaThreshold; }

CellColours ComposeTestPattern(const TestFrameStamp& stamp) {
  CellColours cells{};
  PutField(cells, kMagicFirstCell, kMagicBits, kMagic);
  PutField(cells, kFrameNumberFirstCell, kFrameNumberBits, stamp.frameNumber);
  PutField(cells, kCaptureTimeFirstCell, kCaptureTimeBits, static_cast<uint64_t>(stamp.captureTimeUs));

  // The box moves one cell every second frame, bouncing off the picture's edges.
  const uint32_t step = stamp.frameNumber / 2;
  const int boxColumn = Bounce(step, kGridColumns - kBoxCells);
  const int boxRow = kPictureFirstRow + Bounce(step, kPictureRows - kBoxCells);
  for (int row = kPictureFirstRow; row < kPictureFirstRow + kPictureRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      Colour colour = kBars[column * kBarCount / kGridColumns];
      const int inBoxColumn = column - boxColumn, inBoxRow = row - boxRow;
      if (inBoxColumn >= 0 && inBoxColumn < kBoxCells && inBoxRow >= 0 && inBoxRow < kBoxCells) {
        const bool edge = inBoxColumn == 0 || inBoxRow == 0 || inBoxColumn == kBoxCells - 1 || inBoxRow == kBoxCells - 1;
        colour = edge ? Colour::Black : Colour::White;
      }
      const int index = row * kGridColumns + column;
      if ((row - kPictureFirstRow) % 2 == 0 && column % 2 == 0) {
        const uint64_t dot = Mix((static_cast<uint64_t>(stamp.frameNumber) << 32) | static_cast<uint64_t>(index));
        colour = (dot & 1U) != 0 ? Colour::White : Colour::Black;
      }
      cells[index] = colour;
    }
  }

  PutField(cells, kTrailerFirstCell, kTrailerBits, kTrailer);
  CellClasses classes{};
  for (int i = 0; i < kCellCount; ++i) classes[i] = IsBright(cells[i]);
  PutField(cells, kChecksumFirstCell, kChecksumBits, PatternChecksum(classes));
  return cells;
}

uint32_t PatternChecksum(const CellClasses& classes) {
  std::vector<uint8_t> bytes;
  bytes.reserve(kCellCount / 8 + 1);
  int filled = 0;
  uint8_t byte = 0;
  for (int i = 0; i < kCellCount; ++i) {
    if (i >= kChecksumFirstCell && i < kChecksumFirstCell + kChecksumBits) continue;
    byte = static_cast<uint8_t>((byte << 1) | (classes[i] ? 1 : 0));
    if (++filled == 8) {
      bytes.push_back(byte);
      filled = 0;
      byte = 0;
    }
  }
  if (filled > 0) bytes.push_back(static_cast<uint8_t>(byte << (8 - filled)));
  return Crc32(bytes);
}

uint64_t ReadField(const CellClasses& classes, int firstCell, int bits) {
  uint64_t value = 0;
  for (int i = 0; i < bits; ++i) value = (value << 1) | (classes[firstCell + i] ? 1U : 0U);
  return value;
}

CellArea AreaOfCell(int column, int row, int width, int height) {
  return {column * width / kGridColumns, row * height / kGridRows, (column + 1) * width / kGridColumns,
          (row + 1) * height / kGridRows};
}

}  // namespace kestrel::testpattern
