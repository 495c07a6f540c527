#include "platform/outsidefilters/testpattern/TestPatternReader.h"

#include <cstddef>

namespace kestrel::testpattern {

namespace {

constexpr int kMinimumWidth = 2 * kGridColumns;
constexpr int kMinimumHeight = 2 * kGridRows;

// Limited-range luma of a full-range BGRx pixel, as a converter to I420 gives it.
int LumaOfBgrx(const uint8_t* p) { return ((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16; }

// Mean luma of the middle of a cell: an eighth of the cell on each side is
// left out, where coding ringing and scaling blur its edges.
double MeanLuma(const uint8_t* pixels, int stride, PixelFormat format, const CellArea& area) {
  const int marginX = (area.x1 - area.x0) / 8, marginY = (area.y1 - area.y0) / 8;
  const int x0 = area.x0 + marginX, x1 = area.x1 - marginX, y0 = area.y0 + marginY, y1 = area.y1 - marginY;
  int64_t sum = 0;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    if (format == PixelFormat::I420) {
      for (int x = x0; x < x1; ++x) sum += row[x];
    } else {
      for (int x = x0; x < x1; ++x) sum += LumaOfBgrx(row + 4 * x);
    }
  }
  const int64_t count = static_cast<int64_t>(x1 - x0) * (y1 - y0);
  return count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : 0.0;
}

}  // namespace

std::optional<CellClasses> ReadCellClasses(const uint8_t* pixels, int width, int height, int stride,
                                           PixelFormat format) {
  const int bytesPerPixel = format == PixelFormat::I420 ? 1 : 4;
  if (pixels == nullptr || width < kMinimumWidth || height < kMinimumHeight || stride < width * bytesPerPixel) {
    return std::nullopt;
  }
  CellClasses classes{};
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      const CellArea area = AreaOfCell(column, row, width, height);
      classes[row * kGridColumns + column] = MeanLuma(pixels, stride, format, area) > kLumaThreshold;
    }
  }
  return classes;
}

std::optional<TestFrameReading> ReadTestFrame(const uint8_t* pixels, int width, int height, int stride,
                                              PixelFormat format) {
  const auto classes = ReadCellClasses(pixels, width, height, stride, format);
  if (!classes || ReadField(*classes, kMagicFirstCell, kMagicBits) != kMagic) return std::nullopt;
  TestFrameReading reading;
  reading.frameNumber = static_cast<uint32_t>(ReadField(*classes, kFrameNumberFirstCell, kFrameNumberBits));
  reading.captureTimeUs = static_cast<int64_t>(ReadField(*classes, kCaptureTimeFirstCell, kCaptureTimeBits));
  reading.checksumOk = ReadField(*classes, kTrailerFirstCell, kTrailerBits) == kTrailer &&
                       ReadField(*classes, kChecksumFirstCell, kChecksumBits) == PatternChecksum(*classes);
  return reading;
}

}  // namespace kestrel::testpattern
