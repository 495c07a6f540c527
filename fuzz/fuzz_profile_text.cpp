// The settings file reader, fed any text. A text it accepts must write back
// to a text that reads as the same tree (and writes the same again).
#include "FuzzCheck.h"
#include "platform/store/ProfileTextFormat.h"

#include <string_view>

using namespace kestrel::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    auto parsed = ParseProfileText(text);
    if (const auto *error = std::get_if<ProfileParseError>(&parsed)) {
        FUZZ_CHECK(error->line >= 1);
        return 0;
    }
    const std::string written = SerializeProfileTree(std::get<ProfileTree>(parsed));
    auto reread = ParseProfileText(written);
    FUZZ_CHECK(std::holds_alternative<ProfileTree>(reread));
    FUZZ_CHECK(SerializeProfileTree(std::get<ProfileTree>(reread)) == written);
    FUZZ_CHECK(std::get<ProfileTree>(reread).KeyCount() == std::get<ProfileTree>(parsed).KeyCount());
    return 0;
}
