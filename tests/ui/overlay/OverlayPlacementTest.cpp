#include "ui/overlay/OverlayPlacement.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrel::ui::overlay {
namespace {

using overlaysettings::OverlaySettings;

const PixelRect kScreen{0, 0, 1280, 1024};
// A second screen right of the first: corners must count from its own origin.
const PixelRect kRightScreen{1280, 0, 1920, 1080};

OverlaySettings At(std::int32_t index, std::int32_t x = 0, std::int32_t y = 0)
{
    OverlaySettings settings;
    settings.positionIndex = index;
    settings.posX = x;
    settings.posY = y;
    return settings;
}

TEST(OverlayPlacement, CornersSitInTheirCornerWithTheMargin)
{
    EXPECT_EQ(PlaceOverlay(At(0), 176, 144, 1, kScreen), (PixelRect{1088, 16, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 1, kScreen), (PixelRect{16, 16, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(2), 176, 144, 1, kScreen), (PixelRect{16, 864, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(3), 176, 144, 1, kScreen), (PixelRect{1088, 864, 176, 144}));
}

TEST(OverlayPlacement, CornersOfASecondScreenCountFromItsOrigin)
{
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 1, kRightScreen), (PixelRect{1296, 16, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(3), 176, 144, 1, kRightScreen), (PixelRect{3008, 920, 176, 144}));
}

TEST(OverlayPlacement, NoSelectionAndUnknownIndexesAreTopRight)
{
    const PixelRect topRight{1088, 16, 176, 144};
    EXPECT_EQ(PlaceOverlay(At(-1), 176, 144, 1, kScreen), topRight);
    EXPECT_EQ(PlaceOverlay(At(5), 176, 144, 1, kScreen), topRight);
    EXPECT_EQ(PlaceOverlay(At(std::numeric_limits<std::int32_t>::min()), 176, 144, 1, kScreen), topRight);
}

TEST(OverlayPlacement, UserInputIsTheTopLeftCornerAndNegativeCountsFromTheFarEdges)
{
    EXPECT_EQ(PlaceOverlay(At(4, 100, 200), 176, 144, 1, kScreen), (PixelRect{100, 200, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, 0, 0), 176, 144, 1, kScreen), (PixelRect{0, 0, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, -300, -200), 176, 144, 1, kScreen), (PixelRect{980, 824, 176, 144}));
    // On the second screen the same values are that screen's pixels.
    EXPECT_EQ(PlaceOverlay(At(4, 100, 200), 176, 144, 1, kRightScreen), (PixelRect{1380, 200, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, -300, -200), 176, 144, 1, kRightScreen), (PixelRect{2900, 880, 176, 144}));
}

TEST(OverlayPlacement, UserInputNeverLeavesThePictureOffTheScreen)
{
    // Past the far edge, and closer to it than the picture is wide.
    EXPECT_EQ(PlaceOverlay(At(4, 5000, 2000), 176, 144, 1, kScreen), (PixelRect{1104, 880, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, -1, -1), 176, 144, 1, kScreen), (PixelRect{1104, 880, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, -5000, -5000), 176, 144, 1, kScreen), (PixelRect{0, 0, 176, 144}));
    // The extremes of a stored 32-bit value do not overflow.
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(PlaceOverlay(At(4, kMax, kMax), 176, 144, 1, kRightScreen), (PixelRect{3024, 936, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(4, kMin, kMin), 176, 144, 1, kRightScreen), (PixelRect{1280, 0, 176, 144}));
}

TEST(OverlayPlacement, SizeIsTheVideoTimesTheZoomClampedToOneToFour)
{
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 2, kScreen), (PixelRect{16, 16, 352, 288}));
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 4, kScreen), (PixelRect{16, 16, 704, 576}));
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 9, kScreen), (PixelRect{16, 16, 704, 576}));
    EXPECT_EQ(PlaceOverlay(At(1), 176, 144, 0, kScreen), (PixelRect{16, 16, 176, 144}));
    EXPECT_EQ(PlaceOverlay(At(0), 176, 144, 3, kScreen), (PixelRect{736, 16, 528, 432}));
}

TEST(OverlayPlacement, APictureLargerThanTheScreenShrinksWithItsAspect)
{
    // 352 x 288 at 400 % is 1408 x 1152; 1024 high it is 1251 wide. No room
    // for the margins: flush with the top and, less its width, the right.
    EXPECT_EQ(PlaceOverlay(At(0), 352, 288, 4, kScreen), (PixelRect{29, 0, 1251, 1024}));
    // A wide picture is held by the screen's width.
    EXPECT_EQ(PlaceOverlay(At(2), 1600, 400, 1, kScreen), (PixelRect{0, 1024 - 16 - 320, 1280, 320}));
}

TEST(OverlayPlacement, NothingToPlaceWithoutVideoOrScreen)
{
    EXPECT_TRUE(PlaceOverlay(At(0), 0, 144, 1, kScreen).IsEmpty());
    EXPECT_TRUE(PlaceOverlay(At(0), 176, 144, 1, PixelRect{}).IsEmpty());
}

TEST(OverlayOpacity, ZeroIsOpaqueHundredInvisibleAndTheRestClamped)
{
    EXPECT_DOUBLE_EQ(OverlayOpacity(0), 1.0);
    EXPECT_DOUBLE_EQ(OverlayOpacity(37), 0.63);
    EXPECT_DOUBLE_EQ(OverlayOpacity(100), 0.0);
    EXPECT_DOUBLE_EQ(OverlayOpacity(-20), 1.0);
    EXPECT_DOUBLE_EQ(OverlayOpacity(250), 0.0);
    EXPECT_DOUBLE_EQ(OverlayOpacity(std::numeric_limits<std::int32_t>::min()), 1.0);
}

TEST(OverlayScreen, TheGameIsOnTheScreenHoldingItsCentre)
{
    const std::vector<PixelRect> screens{kScreen, kRightScreen};
    EXPECT_EQ(ChooseScreen(screens, PixelRect{1400, 100, 800, 600}, 0), 1);
    // Mostly on the first screen although it starts on the second's edge.
    EXPECT_EQ(ChooseScreen(screens, PixelRect{200, 100, 1100, 600}, 1), 0);
    // A fullscreen game on the second screen.
    EXPECT_EQ(ChooseScreen(screens, kRightScreen, 0), 1);
}

TEST(OverlayScreen, WithoutAFocusedWindowThePrimaryScreen)
{
    const std::vector<PixelRect> screens{kScreen, kRightScreen};
    EXPECT_EQ(ChooseScreen(screens, std::nullopt, 1), 1);
    EXPECT_EQ(ChooseScreen(screens, PixelRect{5000, 5000, 10, 10}, 1), 1); // on no screen at all
    EXPECT_EQ(ChooseScreen(screens, std::nullopt, 7), 0);
    EXPECT_EQ(ChooseScreen({}, std::nullopt, 0), -1);
}

} // namespace
} // namespace kestrel::ui::overlay
