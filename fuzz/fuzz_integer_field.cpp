// The X and Y fields of the settings dialogs, fed any text (as UTF-8). The
// parser must agree with a plain reading of the rule: blanks around an
// optional sign and decimal digits whose value fits in 32 bits.
#include "FuzzCheck.h"
#include "overlaysettings/IntegerField.h"

#include <QString>

#include <cstdint>

namespace {

std::optional<std::int32_t> Reference(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        negative = trimmed[i++] == u'-';
    if (i == trimmed.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > std::int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto parsed = kestrel::overlaysettings::ParseIntegerField(text);
    FUZZ_CHECK(parsed == Reference(text));
    if (parsed)
        FUZZ_CHECK(kestrel::overlaysettings::ParseIntegerField(QString::number(*parsed)) == parsed);
    return 0;
}
