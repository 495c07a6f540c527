#pragma once

#include "platform/store/AppProfile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrel::call {

// The recent-call list: the ten most recently called names, newest first,
// kept in the profile section "Recent File List" as "File1".."File10". Like
// a recent-file list, each name is stored with the current directory in
// front of it; the panel shows the text after the last path separator.
// The profile is read afresh each time, so two programs sharing one
// profile both see every name either has called.
class CRecentCallList {
public:
    static constexpr std::size_t kSize = 10;
    static constexpr const char *kSection = "Recent File List";

    CRecentCallList(platform::AppProfile &profile, std::string currentDirectory);

    // Puts `name` first, dropping an older equal entry (compared without
    // regard to case) and keeping at most ten. An empty name is not added.
    void Add(const std::string &name);
    // The stored entries, newest first; empty ones included as "".
    std::vector<std::string> Entries() const;

    // The call-history box's list: each non-empty entry's text after its
    // last separator, newest first, left out when an item already listed
    // begins with it (without regard to case).
    std::vector<std::string> HistoryItems() const;

    // The text after the last '/' or '\' of a stored entry.
    static std::string DisplayName(const std::string &entry);
    // The item the box selects after a refill: the first that begins with
    // `text` (without regard to case), searching from the second item and
    // wrapping round to the first; -1 when none does.
    static int FindItemStartingWith(const std::vector<std::string> &items, const std::string &text);

private:
    platform::AppProfile &profile_;
    std::string directory_;
};

} // namespace kestrel::call
