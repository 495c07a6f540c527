#pragma once

#include "platform/store/IProfileStore.h"
#include "platform/store/ProfileTree.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>

namespace kestrel::platform {

// The store kept in one text file (ProfileTextFormat), shared by every
// Kestrel program of the user.
//
// Reads load the file afresh without locking: the file is only ever replaced
// whole by rename, so a reader sees one complete version. Each change takes
// the lock file beside it, loads the current file, applies the change and,
// when anything changed, writes a temporary file and renames it over the old
// one. Two programs writing at once therefore never lose each other's values,
// and a program killed while writing leaves the old file whole (its
// temporary file is removed by the next change).
//
// A file that cannot be parsed reads as empty, so every value takes its
// default; the first change renames it aside (kestrel.reg.corrupt-<time>) and
// starts a new file, so the broken one is never overwritten.
class FileProfileStore final : public IProfileStore {
public:
    explicit FileProfileStore(std::filesystem::path file,
                              std::chrono::milliseconds lockTimeout = std::chrono::seconds(5));

    const std::filesystem::path &File() const { return file_; }

    bool CreateKey(std::string_view keyPath) override;
    bool KeyExists(std::string_view keyPath) override;
    std::optional<ProfileValue> ReadValue(std::string_view keyPath, std::string_view valueName) override;
    bool WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value) override;
    bool DeleteValue(std::string_view keyPath, std::string_view valueName) override;
    bool DeleteKeyTree(std::string_view keyPath) override;

private:
    enum class LoadState { Missing, Parsed, Corrupt, Unreadable };
    struct Loaded {
        LoadState state;
        ProfileTree tree;
    };

    Loaded Load();
    bool Modify(const std::function<ProfileTree::Change(ProfileTree &)> &change);
    void RemoveAbandonedTemporaries();
    bool SetAside();
    bool WriteAtomically(const ProfileTree &tree);
    void WarnOnce(const std::string &message);

    std::filesystem::path file_;
    std::filesystem::path lockFile_;
    std::chrono::milliseconds lockTimeout_;
    std::atomic<bool> warned_{false}; // the store may be used from more than one thread
};

} // namespace kestrel::platform
