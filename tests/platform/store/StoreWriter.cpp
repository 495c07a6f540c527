// Writes <count> values named <prefix>0 ... into one key of the store file,
// one change at a time, as a second Kestrel program would.
// Usage: store_writer FILE PREFIX COUNT
#include "platform/store/FileProfileStore.h"
#include "platform/store/RegistryKey.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_writer FILE PREFIX COUNT\n");
        return 2;
    }
    kestrel::platform::FileProfileStore store(argv[1]);
    const std::string prefix = argv[2];
    const int count = std::stoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        // Open (and perhaps create) the key each time, as the dialogs do.
        auto key = kestrel::platform::RegistryKey::Create(store, "Software\\ORVA\\Kestrel\\Settings");
        if (!key || !key->SetDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) ||
            !key->SetString(prefix + "Last", std::to_string(i)))
            return 1;
    }
    return 0;
}
