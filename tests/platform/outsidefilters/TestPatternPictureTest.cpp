#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/outsidefilters/testpattern/TestPatternReader.h"
#include "platform/outsidefilters/testpattern/TestPatternWriter.h"

using namespace kestrel::testpattern;

namespace {

// An I420 or BGRx picture in memory, with rows wider than the picture so a
// reader that ignores the stride fails.
struct Picture {
  Picture(PixelFormat f, int w, int h) : format(f), width(w), height(h) {
    if (format == PixelFormat::I420) {
      strides[0] = w + 16;
      strides[1] = strides[2] = (w + 1) / 2 + 8;
      planes[0].resize(static_cast<size_t>(strides[0]) * h);
      planes[1].resize(static_cast<size_t>(strides[1]) * ((h + 1) / 2));
      planes[2].resize(planes[1].size());
    } else {
      strides[0] = 4 * w + 32;
      planes[0].resize(static_cast<size_t>(strides[0]) * h);
    }
  }

  WritableFrame writable() {
    WritableFrame frame;
    frame.format = format;
    frame.width = width;
    frame.height = height;
    for (int i = 0; i < 3; ++i) {
      frame.planes[i] = planes[i].empty() ? nullptr : planes[i].data();
      frame.strides[i] = strides[i];
    }
    return frame;
  }

  std::optional<TestFrameReading> read() const {
    return ReadTestFrame(planes[0].data(), width, height, strides[0], format);
  }

  int bytesPerPixel() const { return format == PixelFormat::I420 ? 1 : 4; }
  uint8_t* row(int y) { return planes[0].data() + static_cast<size_t>(y) * strides[0]; }

  PixelFormat format;
  int width, height;
  std::vector<uint8_t> planes[3];
  int strides[3] = {0, 0, 0};
};

Picture Painted(const TestFrameStamp& stamp, PixelFormat format = PixelFormat::I420, int width = 176, int height = 144) {
  Picture picture(format, width, height);
  PaintTestFrame(stamp, picture.writable());
  return picture;
}

// Copies rows [y0, y1) and columns [x0, x1) of `from`'s first plane into `to`.
void CopyArea(const Picture& from, Picture& to, int x0, int y0, int x1, int y1) {
  const int bpp = from.bytesPerPixel();
  for (int y = y0; y < y1; ++y) {
    const uint8_t* source = from.planes[0].data() + static_cast<size_t>(y) * from.strides[0];
    std::copy(source + bpp * x0, source + bpp * x1, to.row(y) + bpp * x0);
  }
}

constexpr int64_t kSomeCaptureTimeUs = 123'456'789'012LL;  // a day and a half after boot

}  // namespace

TEST(TestPatternPicture, StampReadsBackInEveryFormatAndSize) {
  for (PixelFormat format : {PixelFormat::I420, PixelFormat::BGRx}) {
    for (auto [width, height] : {std::pair{176, 144}, std::pair{352, 288}}) {
      for (uint32_t frameNumber : {0U, 1U, 29U, 0x12345678U, 0xFFFFFFFFU}) {
        const TestFrameStamp stamp{frameNumber, kSomeCaptureTimeUs + frameNumber};
        const auto reading = Painted(stamp, format, width, height).read();
        ASSERT_TRUE(reading) << width << "x" << height << " frame " << frameNumber;
        EXPECT_EQ(reading->frameNumber, frameNumber);
        EXPECT_EQ(reading->captureTimeUs, kSomeCaptureTimeUs + frameNumber);
        EXPECT_TRUE(reading->checksumOk);
      }
    }
  }
}

TEST(TestPatternPicture, PictureMovesAndEveryMacroblockRowChangesFromFrameToFrame) {
  // Concealing a lost slice with the previous picture, or splicing two
  // frames, is caught only where the content differs: every macroblock row
  // (16 lines) must differ between consecutive frames.
  for (uint32_t n = 0; n < 200; ++n) {
    const CellColours a = ComposeTestPattern({n, kSomeCaptureTimeUs});
    const CellColours b = ComposeTestPattern({n + 1, kSomeCaptureTimeUs + 33'333});
    for (int macroblockRow = 0; macroblockRow < kGridRows / 2; ++macroblockRow) {
      bool differs = false;
      for (int row = 2 * macroblockRow; row < 2 * macroblockRow + 2; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
          const int i = row * kGridColumns + column;
          differs = differs || IsBright(a[i]) != IsBright(b[i]);
        }
      }
      EXPECT_TRUE(differs) << "frames " << n << " and " << n + 1 << ", macroblock row " << macroblockRow;
    }
  }
}

TEST(TestPatternPicture, FrameSplicedFromTwoFramesFailsTheChecksum) {
  // Rows from frame n + 1 (or n + 2: a lost frame) under the top of frame n,
  // cut at every macroblock row, in both formats.
  for (PixelFormat format : {PixelFormat::I420, PixelFormat::BGRx}) {
    for (uint32_t n = 0; n < 40; ++n) {
      for (uint32_t later : {n + 1, n + 2}) {
        const Picture next = Painted({later, kSomeCaptureTimeUs + 33'333 * later}, format);
        for (int cut = 16; cut < 144; cut += 16) {
          Picture spliced = Painted({n, kSomeCaptureTimeUs + 33'333 * n}, format);
          CopyArea(next, spliced, 0, cut, 176, 144);
          const auto reading = spliced.read();
          ASSERT_TRUE(reading) << "the header is intact";
          EXPECT_EQ(reading->frameNumber, n);
          EXPECT_FALSE(reading->checksumOk) << "frame " << n << " with " << later << " from line " << cut;
        }
      }
    }
  }
}

TEST(TestPatternPicture, MacroblockConcealedWithThePreviousPictureFailsWhereverItDiffers) {
  // A decoder conceals a lost macroblock with the previous frame's: the frame
  // must fail whenever that changed what the macroblock shows.
  int concealed = 0, changed = 0;
  for (uint32_t n = 1; n < 20; ++n) {
    const Picture previous = Painted({n - 1, kSomeCaptureTimeUs});
    const Picture current = Painted({n, kSomeCaptureTimeUs + 33'333});
    for (int y = 0; y < 144; y += 16) {
      for (int x = 0; x < 176; x += 16) {
        Picture damaged = current;
        CopyArea(previous, damaged, x, y, x + 16, y + 16);
        ++concealed;
        if (damaged.planes[0] == current.planes[0]) continue;
        ++changed;
        const auto reading = damaged.read();
        ASSERT_TRUE(reading) << "the header's mark never changes";
        EXPECT_FALSE(reading->checksumOk) << "frame " << n << ", macroblock at " << x << "," << y;
      }
    }
  }
  // Most macroblocks change from one frame to the next.
  EXPECT_GT(changed, concealed / 2);
}

TEST(TestPatternPicture, AnyDamagedCellFailsTheChecksum) {
  const Picture intact = Painted({77, kSomeCaptureTimeUs});
  const CellColours cells = ComposeTestPattern({77, kSomeCaptureTimeUs});
  for (int cell = kFrameNumberFirstCell; cell < kCellCount; ++cell) {
    Picture damaged = intact;
    CellColours wrong = cells;
    wrong[cell] = IsBright(cells[cell]) ? Colour::Black : Colour::White;
    PaintCells(wrong, damaged.writable());
    const auto reading = damaged.read();
    ASSERT_TRUE(reading);
    EXPECT_FALSE(reading->checksumOk) << "cell " << cell;
  }
}

TEST(TestPatternPicture, ReadsThroughNoiseAndAfterScaling) {
  Picture picture = Painted({1234, kSomeCaptureTimeUs});
  std::mt19937 random(7);
  std::uniform_int_distribution<int> noise(-40, 40);
  for (int y = 0; y < 144; ++y) {
    for (int x = 0; x < 176; ++x) picture.row(y)[x] = static_cast<uint8_t>(std::clamp(picture.row(y)[x] + noise(random), 0, 255));
  }
  auto reading = picture.read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->frameNumber, 1234U);
  EXPECT_TRUE(reading->checksumOk);

  // Shown by a renderer at 320 x 240 (nearest neighbour): cells no longer fall on whole pixels.
  Picture scaled(PixelFormat::BGRx, 320, 240);
  const Picture source = Painted({1235, kSomeCaptureTimeUs}, PixelFormat::BGRx);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint8_t* from = source.planes[0].data() + static_cast<size_t>(y * 144 / 240) * source.strides[0] + 4 * (x * 176 / 320);
      std::copy(from, from + 4, scaled.row(y) + 4 * x);
    }
  }
  reading = scaled.read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->frameNumber, 1235U);
  EXPECT_TRUE(reading->checksumOk);
}

TEST(TestPatternPicture, OtherPicturesAreNotTakenForTestFrames) {
  Picture black(PixelFormat::I420, 176, 144);
  EXPECT_FALSE(black.read());
  Picture white(PixelFormat::I420, 176, 144);
  std::fill(white.planes[0].begin(), white.planes[0].end(), 235);
  EXPECT_FALSE(white.read());
  // Too small to hold the grid, or nothing to read.
  EXPECT_FALSE(Painted({1, 1}, PixelFormat::I420, 22, 18).read());
  EXPECT_FALSE(ReadTestFrame(nullptr, 176, 144, 176, PixelFormat::I420));
  const Picture good = Painted({1, 1});
  EXPECT_FALSE(ReadTestFrame(good.planes[0].data(), 176, 144, 100, PixelFormat::I420)) << "stride under the width";
}
