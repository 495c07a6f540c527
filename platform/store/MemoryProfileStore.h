#pragma once

#include "platform/store/IProfileStore.h"
#include "platform/store/ProfileTree.h"

namespace kestrel::platform {

// The store held in memory only: the fake for tests of code that uses the
// store, with a switch that makes every change fail as a full disk would.
class MemoryProfileStore final : public IProfileStore {
public:
    void FailWrites(bool fail) { failWrites_ = fail; }
    const ProfileTree &Tree() const { return tree_; }

    bool CreateKey(std::string_view keyPath) override;
    bool KeyExists(std::string_view keyPath) override;
    std::optional<ProfileValue> ReadValue(std::string_view keyPath, std::string_view valueName) override;
    bool WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value) override;
    bool DeleteValue(std::string_view keyPath, std::string_view valueName) override;
    bool DeleteKeyTree(std::string_view keyPath) override;

private:
    bool Succeeded(ProfileTree::Change change) const;

    ProfileTree tree_;
    bool failWrites_ = false;
};

} // namespace kestrel::platform
