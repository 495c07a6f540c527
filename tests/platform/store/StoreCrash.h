#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrel::testing {

// Two programs write the store at once while one of them, again and again,
// is killed with SIGKILL in the middle of its work and started again where
// it left off. After every kill the file must read whole, and hold every
// value a writer reported written. Used by the store tests (short) and the
// store benchmark's crash run (long).
struct StoreCrashRun {
    std::filesystem::path file;
    std::filesystem::path writerProgram; // tests/platform/store/StoreWriter.cpp
    int writesEach = 1000;
    int kills = 20;
    std::uint32_t seed = 1;
};

struct StoreCrashResult {
    int kills = 0;
    int reportedWrites = 0;                 // by both writers
    int lostValues = 0;                     // reported written, then missing
    int unreadableVersions = 0;             // a version of the file that did not parse
    std::vector<std::string> problems;      // what went wrong, first few
};

StoreCrashResult RunStoreCrash(const StoreCrashRun &run);

} // namespace kestrel::testing
