#include "platform/outsidefilters/VideoSinkChoice.h"

#include <cstdlib>

namespace kestrel::outsidefilters {

namespace {
bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}
}  // namespace

DisplayEnvironment DisplayEnvironmentOfProcess() { return {IsSet("WAYLAND_DISPLAY"), IsSet("DISPLAY")}; }

std::vector<std::string> VideoSinkCandidates(const DisplayEnvironment& environment) {
  std::vector<std::string> candidates;
  if (environment.wayland) candidates = {"waylandsink", "glimagesink"};
  if (environment.x11) {
    for (const char* sink : {"xvimagesink", "ximagesink", "glimagesink"}) {
      bool listed = false;
      for (const auto& c : candidates) listed = listed || c == sink;
      if (!listed) candidates.emplace_back(sink);
    }
  }
  return candidates;
}

}  // namespace kestrel::outsidefilters
