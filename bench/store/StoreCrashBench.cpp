// Two programs writing the store 10,000 times each while one of them is
// killed with SIGKILL at 200 random points: no value reported written may
// be lost, and no version of the file may be unreadable.
// Usage: store_crash_bench WRITER_PROGRAM [WRITES_EACH [KILLS [SEED]]]   (10000, 200, 1)
#include "tests/platform/store/StoreCrash.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: store_crash_bench WRITER_PROGRAM [WRITES_EACH [KILLS [SEED]]]\n");
        return 2;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-crash-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    kestrel::testing::StoreCrashRun run;
    run.writerProgram = argv[1];
    run.file = std::filesystem::path(pattern) / "kestrel.reg";
    run.writesEach = argc > 2 ? std::atoi(argv[2]) : 10000;
    run.kills = argc > 3 ? std::atoi(argv[3]) : 200;
    run.seed = argc > 4 ? static_cast<std::uint32_t>(std::atoi(argv[4])) : 1;
    const auto start = std::chrono::steady_clock::now();
    const auto result = kestrel::testing::RunStoreCrash(run);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove_all(pattern);
    std::printf("%12s %6s %10s %6s %10s %8s\n", "writes each", "kills", "reported", "lost", "unreadable", "seconds");
    std::printf("%12d %6d %10d %6d %10d %8.1f\n", run.writesEach, result.kills, result.reportedWrites,
                result.lostValues, result.unreadableVersions, seconds);
    for (const std::string &problem : result.problems)
        std::printf("problem: %s\n", problem.c_str());
    return result.problems.empty() && result.lostValues == 0 && result.unreadableVersions == 0 ? 0 : 1;
}
