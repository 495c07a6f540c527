#include "launcher/PosixLauncherSystem.h"

#include "platform/ui/IMessageBox.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kestrel::launcher {

bool PosixWorkingDirectory::Change(const std::string &directory)
{
    return ::chdir(directory.c_str()) == 0;
}

OsVersion LinuxOsVersionSource::Read()
{
    OsVersion version{OsFamily::Linux, 0, 0};
    utsname name{};
    if (::uname(&name) == 0)
        std::sscanf(name.release, "%u.%u", &version.major, &version.minor);
    return version;
}

bool PosixProcessRunner::RunAndWait(const std::string &program)
{
    // Looked for in the current directory only, never along PATH.
    const std::string path = "./" + program;
    char *const argv[] = {const_cast<char *>(path.c_str()), nullptr};
    pid_t child = -1;
    if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true; // glibc's posix_spawn reports a failed exec itself, so the child did run
}

void MessageRestartPrompt::Prompt()
{
    messages_.Show(
        QCoreApplication::translate("KestrelInst", "Restart the computer to complete the installation.").toStdString(),
        QCoreApplication::translate("KestrelInst", "ORVA Kestrel Setup").toStdString(), platform::MessageIcon::None);
}

} // namespace kestrel::launcher
