// Writes values named <prefix>0 ... into one key of the store file, one
// change at a time, as a second Kestrel program would.
// Usage: store_writer FILE PREFIX COUNT [FIRST]
// Writes <prefix><i> = i for i from FIRST (default 0) below FIRST + COUNT,
// and after each <prefix>Last = "<i>". With FIRST given, it also prints i on
// standard output once both writes of i are reported done, so a test that
// kills it knows which values it may expect.
#include "platform/store/FileProfileStore.h"
#include "platform/store/RegistryKey.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: store_writer FILE PREFIX COUNT [FIRST]\n");
        return 2;
    }
    kestrel::platform::FileProfileStore store(argv[1]);
    const std::string prefix = argv[2];
    const int count = std::stoi(argv[3]);
    const bool report = argc == 5;
    const int first = report ? std::stoi(argv[4]) : 0;
    for (int i = first; i < first + count; ++i) {
        // Open (and perhaps create) the key each time, as the dialogs do.
        auto key = kestrel::platform::RegistryKey::Create(store, "Software\\ORVA\\Kestrel\\Settings");
        if (!key || !key->SetDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) ||
            !key->SetString(prefix + "Last", std::to_string(i)))
            return 1;
        if (report) {
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
    return 0;
}
