// What a dialog's load and save cost on the file store, and how the cost
// grows with the file (every read parses the whole file afresh).
#include "overlaysettings/OverlaySettings.h"
#include "platform/store/AppProfile.h"
#include "platform/store/FileProfileStore.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <stdlib.h>
#include <string>

namespace {

class BenchDirectory {
public:
    BenchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~BenchDirectory()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path &Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A store holding the overlay values plus `extraValues` other values.
void Fill(kestrel::platform::FileProfileStore &store, int extraValues)
{
    kestrel::overlaysettings::SaveOverlaySettings(store, {40, 4, 100, 200, 'V', 6});
    kestrel::platform::AppProfile profile(store);
    for (int i = 0; i < extraValues; ++i)
        profile.WriteProfileString("Recent File List", "File" + std::to_string(i), "192.168.0." + std::to_string(i));
}

void LoadOverlaySettingsFromFile(benchmark::State &state)
{
    BenchDirectory directory;
    kestrel::platform::FileProfileStore store(directory.Path() / "kestrel.reg");
    Fill(store, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        kestrel::overlaysettings::OverlaySettings settings;
        kestrel::overlaysettings::LoadOverlaySettings(store, settings);
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(LoadOverlaySettingsFromFile)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond);

void SaveOverlaySettingsToFile(benchmark::State &state)
{
    BenchDirectory directory;
    kestrel::platform::FileProfileStore store(directory.Path() / "kestrel.reg");
    Fill(store, 0);
    std::int32_t transparency = 0;
    for (auto _ : state) {
        // A new value each time, so every one of the six writes really writes.
        ++transparency;
        kestrel::overlaysettings::SaveOverlaySettings(store, {transparency, 4, transparency, transparency, 'V', 6});
    }
}
BENCHMARK(SaveOverlaySettingsToFile)->Unit(benchmark::kMillisecond);

// One read of a store file holding `state.range(0)` values in one key (as a
// hand-edited or damaged file may): the cost must grow with the file, not
// with its square.
void ReadFromLargeFile(benchmark::State &state)
{
    BenchDirectory directory;
    const auto file = directory.Path() / "kestrel.reg";
    {
        std::string text = "[Software\\ORVA\\Kestrel\\Recent File List]\n";
        for (int i = 0; i < state.range(0); ++i)
            text += "\"File" + std::to_string(i) + "\"=\"192.168.0." + std::to_string(i % 256) + "\"\n";
        std::FILE *out = std::fopen(file.c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    kestrel::platform::FileProfileStore store(file);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.ReadValue("Software\\ORVA\\Kestrel\\Recent File List", "File0"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ReadFromLargeFile)->Arg(1000)->Arg(10000)->Arg(65536)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
