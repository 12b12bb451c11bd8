// The settings store's cost as the program meets it: reading the settings at start (one
// settings object, nine reads) and writing them at exit (nine writes, each one locked,
// flushed and renamed into place), on a store that holds only the settings and on one that
// holds many other keys as well. The store file lives under $NOMILO_BENCH_DIR (on disk, so
// that flushing costs what it costs), else under /tmp.
#include "settings/SettingsKeys.h"
#include "settings/TRegIniFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace nomilo {
namespace {

const char* const kNumberValues[] = {kWidthValue,      kHeightValue,          kTopValue,
                                     kLeftValue,       kFolderListWidthValue, kPanel2WidthValue,
                                     kPanel6WidthValue};

// A fresh store file holding the settings and `otherKeys` keys of two values each.
std::string MakeStore(int otherKeys) {
    const char* base = std::getenv("NOMILO_BENCH_DIR");
    const std::filesystem::path folder =
        std::filesystem::path(base && *base ? base : "/tmp") / "registry-bench";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "registry.reg").string();
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n"
                       "\"Jezik\"=\"English\"\n\"RenameSel\"=\"1\"\n";
    for (const char* name : kNumberValues)
        text.append("\"").append(name).append("\"=\"240\"\n");
    for (int i = 0; i < otherKeys; ++i)
        text.append("\n[HKEY_CURRENT_USER\\Software\\Other\\Key")
            .append(std::to_string(i))
            .append("]\n\"Name\"=\"some text of a usual length\"\n\"Size\"=dword:00000400\n");
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".lock");
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

void LoadSettings(benchmark::State& state) {
    RegistryStore store(MakeStore(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        TRegIniFile ini(kSettingsKey, store);
        benchmark::DoNotOptimize(ini.ReadText(kLanguageValue, "English"));
        for (const char* name : kNumberValues)
            benchmark::DoNotOptimize(ini.ReadNumber(name, 0));
        benchmark::DoNotOptimize(ini.ReadFlag(kRenameSelValue, true));
    }
}
BENCHMARK(LoadSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void SaveSettings(benchmark::State& state) {
    RegistryStore store(MakeStore(static_cast<int>(state.range(0))));
    int width = 0;
    for (auto _ : state) {
        TRegIniFile ini(kSettingsKey, store);
        ini.WriteText(kLanguageValue, "English");
        for (const char* name : kNumberValues)
            ini.WriteNumber(name, ++width); // a real change every time
        ini.WriteFlag(kRenameSelValue, width % 2 == 0);
    }
}
BENCHMARK(SaveSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nomilo
