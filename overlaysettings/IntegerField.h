#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kestrel::overlaysettings {

// Reads an integer edit field (the X and Y of a user-chosen position): a
// whole decimal 32-bit integer, with an optional sign and surrounding blanks.
// Anything else, an empty text or a number beyond 32 bits included, is not
// an integer, and the dialogs answer "Please enter an integer.".
std::optional<std::int32_t> ParseIntegerField(const QString &text);

} // namespace kestrel::overlaysettings
