#pragma once

#include <string>

namespace kestrel::launcher {

// The operating system the launcher runs on. The restart step exists for
// Windows 2000 (NT 5.0) only; a Linux kernel 5.0 is not that.
enum class OsFamily { WindowsNT, Linux };

struct OsVersion {
    OsFamily family;
    unsigned major;
    unsigned minor;

    bool IsWindows2000() const { return family == OsFamily::WindowsNT && major == 5 && minor == 0; }
};

// The platform calls of the launcher, each behind a small interface so the
// steps can be tested with fakes.
class IWorkingDirectory {
public:
    virtual ~IWorkingDirectory() = default;
    virtual bool Change(const std::string &directory) = 0;
};

class IOsVersionSource {
public:
    virtual ~IOsVersionSource() = default;
    virtual OsVersion Read() = 0;
};

class IProcessRunner {
public:
    virtual ~IProcessRunner() = default;
    // Starts `program` from the current directory, with no arguments and the
    // launcher's environment and descriptors, and waits without limit for it
    // to end. False when it could not be started.
    virtual bool RunAndWait(const std::string &program) = 0;
};

class IRestartPrompt {
public:
    virtual ~IRestartPrompt() = default;
    // Asks the user whether to restart the computer now.
    virtual void Prompt() = 0;
};

} // namespace kestrel::launcher
