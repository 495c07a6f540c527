#include "platform/outsidefilters/testpattern/TestPatternWriter.h"

#include <cstddef>
#include <cstring>

namespace kestrel::testpattern {

namespace {

void FillRect(uint8_t* plane, int stride, int x0, int y0, int x1, int y1, uint8_t value) {
  if (x1 <= x0) return;
  for (int y = y0; y < y1; ++y) memset(plane + static_cast<std::ptrdiff_t>(y) * stride + x0, value, static_cast<size_t>(x1 - x0));
}

void PaintI420Cell(const WritableFrame& frame, const CellArea& area, Colour colour) {
  const Yuv yuv = ToYuv(colour);
  FillRect(frame.planes[0], frame.strides[0], area.x0, area.y0, area.x1, area.y1, yuv.y);
  // A chroma sample shared by two cells takes the later cell's colour.
  const int cx0 = area.x0 / 2, cy0 = area.y0 / 2, cx1 = (area.x1 + 1) / 2, cy1 = (area.y1 + 1) / 2;
  FillRect(frame.planes[1], frame.strides[1], cx0, cy0, cx1, cy1, yuv.u);
  FillRect(frame.planes[2], frame.strides[2], cx0, cy0, cx1, cy1, yuv.v);
}

void PaintBgrxCell(const WritableFrame& frame, const CellArea& area, Colour colour) {
  const Rgb rgb = ToRgb(colour);
  const uint8_t pixel[4] = {rgb.b, rgb.g, rgb.r, 0xFF};
  for (int y = area.y0; y < area.y1; ++y) {
    uint8_t* p = frame.planes[0] + static_cast<std::ptrdiff_t>(y) * frame.strides[0] + 4 * area.x0;
    for (int x = area.x0; x < area.x1; ++x, p += 4) memcpy(p, pixel, 4);
  }
}

}  // namespace

void PaintCells(const CellColours& cells, const WritableFrame& frame) {
  if (frame.width < kGridColumns || frame.height < kGridRows || frame.planes[0] == nullptr) return;
  if (frame.format == PixelFormat::I420 && (frame.planes[1] == nullptr || frame.planes[2] == nullptr)) return;
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      const CellArea area = AreaOfCell(column, row, frame.width, frame.height);
      const Colour colour = cells[row * kGridColumns + column];
      if (frame.format == PixelFormat::I420) {
        PaintI420Cell(frame, area, colour);
      } else {
        PaintBgrxCell(frame, area, colour);
      }
    }
  }
}

void PaintTestFrame(const TestFrameStamp& stamp, const WritableFrame& frame) {
  PaintCells(ComposeTestPattern(stamp), frame);
}

}  // namespace kestrel::testpattern
