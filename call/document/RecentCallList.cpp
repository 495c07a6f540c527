#include "call/document/RecentCallList.h"

#include <algorithm>
#include <cctype>

namespace kestrel::call {

namespace {

char Fold(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualFolded(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

bool StartsWithFolded(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() && EqualFolded(text.substr(0, prefix.size()), prefix);
}

std::string EntryName(std::size_t index)
{
    return "File" + std::to_string(index + 1);
}

} // namespace

CRecentCallList::CRecentCallList(platform::AppProfile &profile, std::string currentDirectory)
    : profile_(profile), directory_(std::move(currentDirectory))
{
    if (!directory_.empty() && directory_.back() != '/')
        directory_ += '/';
}

void CRecentCallList::Add(const std::string &name)
{
    if (name.empty())
        return;
    const std::string entry = directory_ + name;
    std::vector<std::string> entries = Entries();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::string &e) { return e.empty() || EqualFolded(e, entry); }),
                  entries.end());
    entries.insert(entries.begin(), entry);
    if (entries.size() > kSize)
        entries.resize(kSize);
    for (std::size_t i = 0; i < entries.size(); ++i)
        profile_.WriteProfileString(kSection, EntryName(i), entries[i]);
}

std::vector<std::string> CRecentCallList::Entries() const
{
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < kSize; ++i)
        entries.push_back(profile_.GetProfileString(kSection, EntryName(i), ""));
    return entries;
}

std::vector<std::string> CRecentCallList::HistoryItems() const
{
    std::vector<std::string> items;
    for (const std::string &entry : Entries()) {
        if (entry.empty())
            continue;
        const std::string name = DisplayName(entry);
        const bool shadowed =
            std::any_of(items.begin(), items.end(), [&](const std::string &item) { return StartsWithFolded(item, name); });
        if (!shadowed)
            items.push_back(name);
    }
    return items;
}

std::string CRecentCallList::DisplayName(const std::string &entry)
{
    const auto separator = entry.find_last_of("/\\");
    return separator == std::string::npos ? entry : entry.substr(separator + 1);
}

int CRecentCallList::FindItemStartingWith(const std::vector<std::string> &items, const std::string &text)
{
    const int count = static_cast<int>(items.size());
    for (int step = 1; step <= count; ++step) {
        const int index = step % count;
        if (StartsWithFolded(items[static_cast<std::size_t>(index)], text))
            return index;
    }
    return -1;
}

} // namespace kestrel::call
