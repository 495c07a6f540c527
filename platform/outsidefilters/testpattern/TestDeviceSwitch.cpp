#include "platform/outsidefilters/testpattern/TestDeviceSwitch.h"

#include <strings.h>

#include <cstdlib>
#include <initializer_list>

namespace kestrel::testpattern {

bool TestDevicesWanted(const char* value) {
  if (value == nullptr || *value == '\0') return false;
  for (const char* off : {"0", "no", "off", "false"}) {
    if (strcasecmp(value, off) == 0) return false;
  }
  return true;
}

bool TestDevicesWanted() { return TestDevicesWanted(std::getenv(kTestDevicesVariable)); }

}  // namespace kestrel::testpattern
