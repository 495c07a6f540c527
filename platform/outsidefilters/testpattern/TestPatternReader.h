#pragma once
// Reads back what the test camera stamped into a frame (TestPatternLayout.h),
// also after lossy coding and scaling: only the mean luma of the middle of
// each cell counts.

#include <cstdint>
#include <optional>

#include "platform/outsidefilters/testpattern/TestPatternLayout.h"

namespace kestrel::testpattern {

struct TestFrameReading {
  int64_t captureTimeUs = 0;  // the low 48 bits of CLOCK_MONOTONIC in µs at capture
  uint32_t frameNumber = 0;
  // The picture is the one the camera made for this header: no part of it
  // comes from another frame and no cell is damaged.
  bool checksumOk = false;
};

// `pixels` is the Y plane for I420 (only luma is read) or the packed plane for
// BGRx, `stride` its bytes per row. Gives nothing when the frame does not
// carry the header's mark, or is too small (under 44 x 36) to hold the grid.
// A caller that knows the frame came from the test camera counts nothing, and
// a reading whose checksum fails, as a corrupt frame.
std::optional<TestFrameReading> ReadTestFrame(const uint8_t* pixels, int width, int height, int stride,
                                              PixelFormat format);

// The dark/bright class of every cell; nothing for a frame too small.
std::optional<CellClasses> ReadCellClasses(const uint8_t* pixels, int width, int height, int stride,
                                           PixelFormat format);

}  // namespace kestrel::testpattern
