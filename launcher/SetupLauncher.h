#pragma once

#include "launcher/LauncherSystem.h"

#include <string_view>

namespace kestrel::platform {
class IMessageBox;
class IProfileStore;
} // namespace kestrel::platform

namespace kestrel::launcher {

// The installer that lies beside the launcher.
#ifdef _WIN32
inline constexpr std::string_view kInstallerName = "setup.exe";
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr std::string_view kInstallerName = "setup";
inline constexpr char kPathSeparator = '/';
#endif

// The profile key where the installer asks for a restart ("Win2KInstall" = 1).
inline constexpr std::string_view kRestartRequestKeyPath = "Software\\Orva\\Kestrel";
inline constexpr std::string_view kRestartRequestValue = "Win2KInstall";

struct LauncherServices {
    IWorkingDirectory &directory;
    IOsVersionSource &osVersion;
    IProcessRunner &processes;
    IRestartPrompt &restart;
    platform::IMessageBox &messages;
    platform::IProfileStore &store;
};

// KestrelInst: moves to its own directory, runs the installer there and
// waits for it, then, on Windows 2000 only, acts on the installer's restart
// request. Returns the exit code, which is always 0.
int RunSetupLauncher(std::string_view commandLine, LauncherServices services);

} // namespace kestrel::launcher
