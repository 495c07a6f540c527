#pragma once

#include "platform/store/ProfileTree.h"

#include <string>
#include <string_view>
#include <variant>

namespace kestrel::platform {

// The store's file: a plain text in the layout of a registry export, so a
// user can read and mend it with any editor.
//
//     ; comment
//     [Software\ORVA\Kestrel\Settings]
//     "Transparency"=dword:00000032
//     "VideoInputDevice"="USB Camera \"front\""
//
// Every key has its own section, in depth-first order. Strings escape \\, \",
// and control characters (\n, \r, \t, \xHH); bytes above 0x7f pass unchanged.
std::string SerializeProfileTree(const ProfileTree &tree);

struct ProfileParseError {
    int line = 0; // 1-based
    std::string reason;
};

// The tree, or where and why the text is not a store file. Nothing partial:
// one bad line rejects the whole text.
std::variant<ProfileTree, ProfileParseError> ParseProfileText(std::string_view text);

} // namespace kestrel::platform
