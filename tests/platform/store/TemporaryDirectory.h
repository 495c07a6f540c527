#pragma once

#include <filesystem>

namespace kestrel::testing {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes, so parallel tests never share files.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    const std::filesystem::path &Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace kestrel::testing
