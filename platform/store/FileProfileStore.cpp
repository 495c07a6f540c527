#include "platform/store/FileProfileStore.h"

#include "platform/store/FileLock.h"
#include "platform/store/ProfileTextFormat.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform {

namespace {

// Far beyond any real store; a larger file is not ours and is not read in.
constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;

enum class ReadResult { Ok, Missing, Failed, TooLarge };

ReadResult ReadWholeFile(const std::filesystem::path &path, std::string &contents)
{
    // Non-blocking, so that a FIFO put in the file's place cannot hang the program.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::Failed;
    contents.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadResult::Failed;
        if (n == 0)
            return ReadResult::Ok;
        contents.append(buffer, static_cast<std::size_t>(n));
        if (contents.size() > kMaxFileBytes)
            return ReadResult::TooLarge;
    }
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// mkostemp's names: the file's name, a dot and six letters or digits.
bool IsTemporaryName(const std::string &name, const std::string &prefix)
{
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

std::string UtcStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return stamp;
}

} // namespace

FileProfileStore::FileProfileStore(std::filesystem::path file, std::chrono::milliseconds lockTimeout)
    : file_(std::move(file)), lockFile_(file_.string() + ".lock"), lockTimeout_(lockTimeout)
{
}

FileProfileStore::Loaded FileProfileStore::Load()
{
    std::string text;
    switch (ReadWholeFile(file_, text)) {
    case ReadResult::Missing: return {LoadState::Missing, {}};
    case ReadResult::Failed:
        WarnOnce("cannot read " + file_.string() + "; using default settings");
        return {LoadState::Unreadable, {}};
    case ReadResult::TooLarge:
        WarnOnce(file_.string() + " is too large to be a settings file; using default settings");
        return {LoadState::Corrupt, {}};
    case ReadResult::Ok: break;
    }
    auto parsed = ParseProfileText(text);
    if (auto *error = std::get_if<ProfileParseError>(&parsed)) {
        WarnOnce(file_.string() + ":" + std::to_string(error->line) + ": " + error->reason +
                 "; using default settings");
        return {LoadState::Corrupt, {}};
    }
    return {LoadState::Parsed, std::move(std::get<ProfileTree>(parsed))};
}

bool FileProfileStore::Modify(const std::function<ProfileTree::Change(ProfileTree &)> &change)
{
    if (file_.empty())
        return false; // no home directory: nothing can be kept
    std::error_code ignored;
    std::filesystem::create_directories(file_.parent_path(), ignored);
    FileLock lock(lockFile_, lockTimeout_);
    if (!lock.Locked())
        return false;
    RemoveAbandonedTemporaries();
    Loaded loaded = Load();
    // An unreadable file (permissions, I/O error) is left alone rather than replaced.
    if (loaded.state == LoadState::Unreadable)
        return false;
    const ProfileTree::Change result = change(loaded.tree);
    if (result == ProfileTree::Change::Failed)
        return false;
    if (loaded.state == LoadState::Corrupt) {
        if (!SetAside())
            return false;
    } else if (result == ProfileTree::Change::Unchanged) {
        return true;
    }
    return WriteAtomically(loaded.tree);
}

// Temporary files are only made under the lock, so one found while holding
// it was left by a program that died while writing.
void FileProfileStore::RemoveAbandonedTemporaries()
{
    std::error_code error;
    const std::string prefix = file_.filename().string() + ".";
    for (const auto &entry : std::filesystem::directory_iterator(file_.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (IsTemporaryName(name, prefix))
            ::unlink(entry.path().c_str());
    }
}

bool FileProfileStore::SetAside()
{
    const std::string base = file_.string() + ".corrupt-" + UtcStamp();
    std::string target = base;
    for (int n = 1; std::filesystem::exists(target); ++n)
        target = base + "-" + std::to_string(n);
    if (std::rename(file_.c_str(), target.c_str()) != 0) {
        WarnOnce("cannot move the damaged " + file_.string() + " aside; leaving it unchanged");
        return false;
    }
    std::fprintf(stderr, "kestrel: the damaged settings file was kept as %s\n", target.c_str());
    warned_ = false; // the new file gets its own warning should it ever break
    return true;
}

bool FileProfileStore::WriteAtomically(const ProfileTree &tree)
{
    std::string temporary = file_.string() + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd)
        return false;
    // close() can report a failed write, so it is checked like the rest.
    const bool written = ::fchmod(fd.Get(), 0600) == 0 && WriteAll(fd.Get(), SerializeProfileTree(tree)) &&
                         ::fsync(fd.Get()) == 0 && ::close(fd.Release()) == 0;
    if (!written || std::rename(temporary.c_str(), file_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    UniqueFd directory(::open(file_.parent_path().empty() ? "." : file_.parent_path().c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory)
        ::fsync(directory.Get());
    return true;
}

void FileProfileStore::WarnOnce(const std::string &message)
{
    if (warned_.exchange(true))
        return;
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
}

bool FileProfileStore::CreateKey(std::string_view keyPath)
{
    if (Load().tree.KeyExists(keyPath))
        return true; // the common case costs no lock and no write
    return Modify([&](ProfileTree &tree) { return tree.CreateKey(keyPath); });
}

bool FileProfileStore::KeyExists(std::string_view keyPath)
{
    return Load().tree.KeyExists(keyPath);
}

std::optional<ProfileValue> FileProfileStore::ReadValue(std::string_view keyPath, std::string_view valueName)
{
    return Load().tree.ReadValue(keyPath, valueName);
}

bool FileProfileStore::WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value)
{
    return Modify([&](ProfileTree &tree) { return tree.WriteValue(keyPath, valueName, value); });
}

bool FileProfileStore::DeleteValue(std::string_view keyPath, std::string_view valueName)
{
    return Modify([&](ProfileTree &tree) { return tree.DeleteValue(keyPath, valueName); });
}

bool FileProfileStore::DeleteKeyTree(std::string_view keyPath)
{
    return Modify([&](ProfileTree &tree) { return tree.DeleteKeyTree(keyPath); });
}

} // namespace kestrel::platform
