#pragma once
// The test camera's picture, laid out on a grid of 22 x 18 cells: 8 x 8 pixels
// at 176 x 144 and 16 x 16 at 352 x 288, so at QCIF every cell is one block of
// an H.263 coder and every 2 x 2 cells one macroblock. Each cell is painted
// flat in one colour of a small palette whose colours are either clearly dark
// or clearly bright, so a reader needs only a cell's mean luma (a block's DC,
// which lossy coding keeps best) to tell which class it is.
//
//   rows  0-3   header, one bit per cell in row order, white = 1:
//               magic 0xB4 (8 bits), frame number (32), capture time (48,
//               microseconds of CLOCK_MONOTONIC, most significant bit first)
//   rows  4-15  the picture: colour bars, a box bouncing over them, and in the
//               top-left cell of every macroblock a dot that turns black or
//               white at random from frame to frame
//   rows 16-17  footer: checksum (32 bits), trailer mark 0xA5C (12)
//
// The checksum is the CRC-32 of every cell's class (bright = 1) except the
// checksum's own cells, in row order. Every macroblock row holds dots that
// change from frame to frame, so a frame assembled from two frames, a frame
// in which a decoder concealed a lost part with the previous picture, or a
// frame with a damaged block, fails the check; a loss that cuts a frame short
// always does, since it takes the footer, which is new in every frame.

#include <array>
#include <cstdint>

namespace kestrel::testpattern {

inline constexpr int kGridColumns = 22;
inline constexpr int kGridRows = 18;
inline constexpr int kCellCount = kGridColumns * kGridRows;

// Fields, as cell indices in row order.
inline constexpr int kMagicFirstCell = 0;
inline constexpr int kMagicBits = 8;
inline constexpr uint32_t kMagic = 0xB4;
inline constexpr int kFrameNumberFirstCell = kMagicFirstCell + kMagicBits;
inline constexpr int kFrameNumberBits = 32;
inline constexpr int kCaptureTimeFirstCell = kFrameNumberFirstCell + kFrameNumberBits;
inline constexpr int kCaptureTimeBits = 48;
inline constexpr int kPictureFirstRow = 4;
inline constexpr int kPictureRows = 12;
inline constexpr int kChecksumFirstCell = (kPictureFirstRow + kPictureRows) * kGridColumns;
inline constexpr int kChecksumBits = 32;
inline constexpr int kTrailerFirstCell = kChecksumFirstCell + kChecksumBits;
inline constexpr int kTrailerBits = 12;
inline constexpr uint32_t kTrailer = 0xA5C;
static_assert(kCaptureTimeFirstCell + kCaptureTimeBits == kPictureFirstRow * kGridColumns);
static_assert(kTrailerFirstCell + kTrailerBits == kCellCount);

enum class PixelFormat {
  I420,  // planar Y, U, V (BT.601, limited range)
  BGRx,  // packed 8-bit B, G, R, unused
};

// What the camera stamps into a frame.
struct TestFrameStamp {
  uint32_t frameNumber = 0;
  int64_t captureTimeUs = 0;  // CLOCK_MONOTONIC; the picture keeps its low 48 bits
};

enum class Colour : uint8_t { Black, White, Yellow, Cyan, Green, Magenta, Red, Blue };

struct Rgb {
  uint8_t r, g, b;
};
struct Yuv {
  uint8_t y, u, v;
};

Rgb ToRgb(Colour colour);
Yuv ToYuv(Colour colour);  // BT.601, limited range
bool IsBright(Colour colour);

// Luma threshold between the dark and the bright colours (limited range).
inline constexpr double kLumaThreshold = 125.5;

using CellColours = std::array<Colour, kCellCount>;  // row order
using CellClasses = std::array<bool, kCellCount>;    // true: bright

// The whole grid of one frame, checksum included.
CellColours ComposeTestPattern(const TestFrameStamp& stamp);

// CRC-32 of every class except the checksum's own cells.
uint32_t PatternChecksum(const CellClasses& classes);

// The bits of a field, most significant first; true cells are 1.
uint64_t ReadField(const CellClasses& classes, int firstCell, int bits);

// Where a cell lies in a picture of width x height pixels: [x0, x1) x [y0, y1).
struct CellArea {
  int x0, y0, x1, y1;
};
CellArea AreaOfCell(int column, int row, int width, int height);

}  // namespace kestrel::testpattern
