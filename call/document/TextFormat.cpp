#include "call/document/TextFormat.h"

namespace kestrel::call {

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    std::string text;
    auto next = arguments.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                if (next != arguments.end())
                    text += *next++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

} // namespace kestrel::call
