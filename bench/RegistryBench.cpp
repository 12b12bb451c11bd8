// The settings store's cost as the program meets it: reading the settings at start (a store
// object of its own, as in a new process; one settings object, nine reads) and writing them
// at exit (one update of nine values: one lock, one flushed write), on a store of the usual
// size and on stores of about 1 MB of other keys in several shapes. The store files live under
// $NOMILO_BENCH_DIR (on disk, so that flushing costs what it costs), else under /tmp.
//
// A start reads a store that is either settled (written seconds or days ago: the file's stamp
// vouches for it) or fresh (written in the last seconds: each read looks at its bytes again).
#include "settings/SettingsKeys.h"
#include "settings/TRegIniFile.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

namespace nomilo {
namespace {

const char* const kNumberValues[] = {kWidthValue,      kHeightValue,          kTopValue,
                                     kLeftValue,       kFolderListWidthValue, kPanel2WidthValue,
                                     kPanel6WidthValue};

// What else the store holds besides the settings.
enum Shape {
    kUsual,      // nothing: the settings alone
    kManyValues, // the settings key holds 1 MB of other values
    kManyKeys,   // 1 MB of other keys of two values each
    kDeep,       // 1 MB of keys nested as deep as a key may lie (512 levels)
    kBigValue,   // one binary value of 1 MB of text
};
constexpr std::size_t kBig = 1 << 20;

std::string StoreText(Shape shape) {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n"
                       "\"Jezik\"=\"English\"\n\"RenameSel\"=\"1\"\n";
    for (const char* name : kNumberValues)
        text.append("\"").append(name).append("\"=\"240\"\n");
    for (int i = 0; text.size() < kBig && shape != kUsual; ++i) {
        const std::string n = std::to_string(i);
        switch (shape) {
        case kManyValues:
            text += "\"Other" + n + "\"=\"some text of a usual length\"\n";
            break;
        case kManyKeys:
            text += "\n[HKEY_CURRENT_USER\\Software\\Other\\Key" + n +
                    "]\n\"Name\"=\"some text of a usual length\"\n\"Size\"=dword:00000400\n";
            break;
        case kDeep:
            text += "\n[HKEY_CURRENT_USER\\Software\\Deep" + n;
            for (int level = 2; level < 512; ++level)
                text += "\\k";
            text += "]\n\"Name\"=\"x\"\n";
            break;
        case kBigValue:
            text += "\n[HKEY_CURRENT_USER\\Software\\Blob]\n\"Data\"=hex:00";
            while (text.size() < kBig)
                text += ",01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\n  18";
            text += "\n";
            break;
        case kUsual:
            break;
        }
    }
    return text;
}

std::string StorePath(const std::string& name) {
    const char* base = std::getenv("NOMILO_BENCH_DIR");
    const std::filesystem::path folder =
        std::filesystem::path(base && *base ? base : "/tmp") / "registry-bench" / name;
    std::filesystem::create_directories(folder);
    return (folder / "registry.reg").string();
}

void WriteStore(const std::string& path, const std::string& text) {
    std::filesystem::remove(path + ".lock");
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

// A store file of the shape, written once and then left until its stamp vouches for it.
const std::string& SettledStore(Shape shape) {
    static std::map<Shape, std::string> made;
    auto found = made.find(shape);
    if (found == made.end()) {
        const std::string path = StorePath("settled" + std::to_string(shape));
        WriteStore(path, StoreText(shape));
        std::this_thread::sleep_for(std::chrono::milliseconds(3100));
        found = made.emplace(shape, path).first;
    }
    return found->second;
}

// What LoadSettings reads.
void ReadSettings(RegistryStore& store) {
    TRegIniFile ini(kSettingsKey, store);
    benchmark::DoNotOptimize(ini.ReadText(kLanguageValue, "English"));
    for (const char* name : kNumberValues)
        benchmark::DoNotOptimize(ini.ReadNumber(name, 0));
    benchmark::DoNotOptimize(ini.ReadFlag(kRenameSelValue, true));
}

void LoadSettled(benchmark::State& state) {
    const std::string& path = SettledStore(static_cast<Shape>(state.range(0)));
    state.SetLabel(std::to_string(std::filesystem::file_size(path) / 1024) + " KB");
    for (auto _ : state) {
        RegistryStore store(path); // a new process knows nothing of the file yet
        ReadSettings(store);
    }
}

void LoadFresh(benchmark::State& state) {
    const std::string path = StorePath("fresh");
    const std::string text = StoreText(static_cast<Shape>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        WriteStore(path, text);
        state.ResumeTiming();
        RegistryStore store(path);
        ReadSettings(store);
    }
}

void SaveSettings(benchmark::State& state) {
    const std::string path = StorePath("save");
    WriteStore(path, StoreText(static_cast<Shape>(state.range(0))));
    RegistryStore store(path);
    ReadSettings(store); // the start has read the store
    int width = 0;
    for (auto _ : state) {
        TRegIniFile ini(kSettingsKey, store);
        ini.BeginUpdate();
        ini.WriteText(kLanguageValue, "English");
        for (const char* name : kNumberValues)
            ini.WriteNumber(name, ++width); // a real change every time
        ini.WriteFlag(kRenameSelValue, width % 2 == 0);
        ini.EndUpdate();
    }
}

void Shapes(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("shape");
    for (Shape shape : {kUsual, kManyValues, kManyKeys, kDeep, kBigValue})
        benchmark->Arg(shape);
    benchmark->Unit(benchmark::kMillisecond);
}
BENCHMARK(LoadSettled)->Apply(Shapes);
BENCHMARK(LoadFresh)->Apply(Shapes);
BENCHMARK(SaveSettings)->Apply(Shapes);

} // namespace
} // namespace nomilo
