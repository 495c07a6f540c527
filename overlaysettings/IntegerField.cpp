#include "overlaysettings/IntegerField.h"

#include <QByteArray>

#include <charconv>

namespace kestrel::overlaysettings {

std::optional<std::int32_t> ParseIntegerField(const QString &text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    // One sign at most: from_chars takes the minus itself, so a plus is
    // skipped only before a digit ("+-5" is not an integer).
    if (end - begin >= 2 && *begin == '+' && begin[1] >= '0' && begin[1] <= '9')
        ++begin;
    std::int32_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace kestrel::overlaysettings
