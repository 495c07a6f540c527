#pragma once

#include <filesystem>

namespace kestrel::platform {

// $XDG_CONFIG_HOME/kestrel/kestrel.reg, or ~/.config/kestrel/kestrel.reg when
// XDG_CONFIG_HOME is unset, empty or not absolute (as the XDG base directory
// rules say). Empty when no home directory can be found either.
std::filesystem::path DefaultStoreFile();

} // namespace kestrel::platform
