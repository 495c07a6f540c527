#pragma once
// Paints the test camera's picture (TestPatternLayout.h) into a frame.

#include <cstdint>

#include "platform/outsidefilters/testpattern/TestPatternLayout.h"

namespace kestrel::testpattern {

// A frame to paint into. I420: planes Y, U, V with their strides, chroma at
// half the width and height (rounded up); BGRx: planes[0] only.
struct WritableFrame {
  PixelFormat format = PixelFormat::I420;
  int width = 0;
  int height = 0;
  uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  int strides[3] = {0, 0, 0};
};

// Paints every pixel of `frame` (of at least 22 x 18 pixels). Widths and
// heights that are multiples of 44 and 36 give every cell a whole, even number
// of pixels, so chroma follows the cells exactly; at 176 x 144 each cell is
// one 8 x 8 block, at 352 x 288 one macroblock.
void PaintTestFrame(const TestFrameStamp& stamp, const WritableFrame& frame);
void PaintCells(const CellColours& cells, const WritableFrame& frame);

}  // namespace kestrel::testpattern
