#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/outsidefilters/VideoSinkChoice.h"

using namespace kestrel::outsidefilters;
using Candidates = std::vector<std::string>;

TEST(VideoSinkChoice, EachDesktopGetsItsOwnSinksAndNoDisplayNone) {
  EXPECT_EQ(VideoSinkCandidates({false, false}), Candidates{});
  EXPECT_EQ(VideoSinkCandidates({false, true}), (Candidates{"xvimagesink", "ximagesink", "glimagesink"}));
  EXPECT_EQ(VideoSinkCandidates({true, false}), (Candidates{"waylandsink", "glimagesink"}));
  // Wayland with XWayland: Wayland first, each sink once.
  EXPECT_EQ(VideoSinkCandidates({true, true}),
            (Candidates{"waylandsink", "glimagesink", "xvimagesink", "ximagesink"}));
}

TEST(VideoSinkChoice, TheEnvironmentNamesTheDesktop) {
  setenv("DISPLAY", ":5", 1);
  setenv("WAYLAND_DISPLAY", "", 1);  // set but empty: no Wayland
  auto environment = DisplayEnvironmentOfProcess();
  EXPECT_TRUE(environment.x11);
  EXPECT_FALSE(environment.wayland);
  unsetenv("DISPLAY");
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  environment = DisplayEnvironmentOfProcess();
  EXPECT_FALSE(environment.x11);
  EXPECT_TRUE(environment.wayland);
}
