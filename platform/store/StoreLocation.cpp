#include "platform/store/StoreLocation.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kestrel::platform {

namespace {

std::filesystem::path HomeDirectory()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return entry->pw_dir;
    return {};
}

} // namespace

std::filesystem::path DefaultStoreFile()
{
    std::filesystem::path configHome;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
        configHome = xdg;
    } else {
        const std::filesystem::path home = HomeDirectory();
        if (home.empty())
            return {};
        configHome = home / ".config";
    }
    return configHome / "kestrel" / "kestrel.reg";
}

} // namespace kestrel::platform
