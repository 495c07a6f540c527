#include "platform/store/ProfileTextFormat.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace kestrel::platform {

namespace {

constexpr std::string_view kHeader =
    "; Kestrel settings: keys and values of the current user.\n"
    "; Written by the Kestrel programs; edit it only while they are closed.\n";
constexpr std::string_view kDwordPrefix = "dword:";

void AppendQuoted(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void AppendValues(std::string &out, const ProfileKey &key)
{
    for (const auto &[name, value] : key.Values()) {
        AppendQuoted(out, name);
        out += '=';
        if (const auto *number = std::get_if<std::uint32_t>(&value)) {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(*number));
            out += kDwordPrefix;
            out += hex;
        } else {
            AppendQuoted(out, std::get<std::string>(value));
        }
        out += '\n';
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted string at the start of `text` and moves `text` past it.
std::optional<std::string> TakeQuoted(std::string_view &text)
{
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    std::string result;
    std::size_t i = 1;
    while (i < text.size()) {
        const char c = text[i++];
        if (c == '"') {
            text.remove_prefix(i);
            return result;
        }
        if (c != '\\') {
            result += c;
            continue;
        }
        if (i >= text.size())
            return std::nullopt;
        const char escape = text[i++];
        switch (escape) {
        case '\\': result += '\\'; break;
        case '"': result += '"'; break;
        case 'n': result += '\n'; break;
        case 'r': result += '\r'; break;
        case 't': result += '\t'; break;
        case 'x': {
            if (i + 2 > text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0)
                return std::nullopt;
            const int byte = HexDigit(text[i]) * 16 + HexDigit(text[i + 1]);
            if (byte == 0)
                return std::nullopt;
            result += static_cast<char>(byte);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt; // no closing quote
}

std::optional<ProfileValue> ParseValueText(std::string_view text)
{
    if (text.substr(0, kDwordPrefix.size()) == kDwordPrefix) {
        const std::string_view digits = text.substr(kDwordPrefix.size());
        std::uint32_t number = 0;
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
        if (error != std::errc() || end != digits.data() + digits.size())
            return std::nullopt;
        return ProfileValue(number);
    }
    auto string = TakeQuoted(text);
    if (!string || !text.empty())
        return std::nullopt;
    return ProfileValue(std::move(*string));
}

std::string_view Trim(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string SerializeProfileTree(const ProfileTree &tree)
{
    std::string out(kHeader);
    // Depth first, each key before its subkeys, without recursion: a walk
    // of the tree never depends on the stack.
    struct Pending {
        const ProfileKey *key;
        std::size_t pathLength; // of the parent's path
    };
    std::string path;
    std::vector<Pending> pending;
    const auto &top = tree.Root().Subkeys();
    for (auto key = top.rbegin(); key != top.rend(); ++key)
        pending.push_back({&*key, 0});
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        path.resize(next.pathLength);
        if (!path.empty())
            path += '\\';
        path += next.key->Name();
        out += '[';
        out += path;
        out += "]\n";
        AppendValues(out, *next.key);
        const auto &subkeys = next.key->Subkeys();
        for (auto subkey = subkeys.rbegin(); subkey != subkeys.rend(); ++subkey)
            pending.push_back({&*subkey, path.size()});
    }
    return out;
}

std::variant<ProfileTree, ProfileParseError> ParseProfileText(std::string_view text)
{
    ProfileTree tree;
    ProfileKey *currentKey = nullptr;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.find('\0') != std::string_view::npos)
            return ProfileParseError{lineNumber, "NUL byte"};
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return ProfileParseError{lineNumber, "malformed key line"};
            currentKey = tree.CreateKeyForFilling(line.substr(1, line.size() - 2));
            if (!currentKey)
                return ProfileParseError{lineNumber, "malformed key path, or too many keys"};
            continue;
        }
        if (!currentKey)
            return ProfileParseError{lineNumber, "value outside any key"};
        std::string_view rest = line;
        const auto name = TakeQuoted(rest);
        if (!name || rest.empty() || rest.front() != '=')
            return ProfileParseError{lineNumber, "malformed value name"};
        const auto value = ParseValueText(rest.substr(1));
        if (!value)
            return ProfileParseError{lineNumber, "malformed value"};
        if (ProfileTree::WriteValueTo(*currentKey, *name, *value) == ProfileTree::Change::Failed)
            return ProfileParseError{lineNumber, "value not storable, or too many values"};
    }
    return tree;
}

} // namespace kestrel::platform
