#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kestrel::call {

// Fills the "%s" of a string-table pattern with `arguments` in order ("%%"
// gives "%"); a "%s" without an argument becomes empty. Safe for any text
// from the network or the user, unlike printf.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> arguments);

} // namespace kestrel::call
