#pragma once

#include "launcher/LauncherSystem.h"

namespace kestrel::platform {
class IMessageBox;
}

namespace kestrel::launcher {

class PosixWorkingDirectory final : public IWorkingDirectory {
public:
    bool Change(const std::string &directory) override;
};

// Linux, with the kernel's version numbers.
class LinuxOsVersionSource final : public IOsVersionSource {
public:
    OsVersion Read() override;
};

// posix_spawn of "./<program>", waited for with waitpid.
class PosixProcessRunner final : public IProcessRunner {
public:
    bool RunAndWait(const std::string &program) override;
};

// Linux has no restart prompt of the installer kind: the user is told to
// restart. Only reached where the installer asks for a restart on Windows 2000.
class MessageRestartPrompt final : public IRestartPrompt {
public:
    explicit MessageRestartPrompt(platform::IMessageBox &messages) : messages_(messages) {}
    void Prompt() override;

private:
    platform::IMessageBox &messages_;
};

} // namespace kestrel::launcher
