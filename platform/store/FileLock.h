#pragma once

#include <chrono>
#include <filesystem>

namespace kestrel::platform {

// An exclusive advisory lock (flock) on a lock file, held for the object's
// lifetime. The kernel drops it when the holder dies, so a crashed program
// never leaves the store locked. The lock file itself is never removed:
// removing it would let two programs lock two different files.
class FileLock {
public:
    // Tries until `timeout` has passed; check Locked() afterwards.
    FileLock(const std::filesystem::path &lockFile, std::chrono::milliseconds timeout);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool Locked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

} // namespace kestrel::platform
