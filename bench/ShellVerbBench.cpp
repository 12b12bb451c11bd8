// The shell verb's cost as the user meets it: installing and removing it from the context menu,
// and relabelling it at each exit, with the entries of every file manager published on every
// change and without. The store and the data folder live under $NOMILO_BENCH_DIR (on disk, so that
// flushing costs what it costs), else under /tmp.
#include "platform/desktop/DesktopPublisher.h"
#include "settings/ShellVerb.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace nomilo {
namespace {

constexpr const char* kProgram = "/opt/Nomilo tools/nomilo";

std::filesystem::path BenchFolder() {
    const char* base = std::getenv("NOMILO_BENCH_DIR");
    const std::filesystem::path folder =
        std::filesystem::path(base && *base ? base : "/tmp") / "shell-verb-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// Every place below the bench folder, with no system defaults.
DesktopPlaces Places(const std::filesystem::path& folder) {
    return DesktopPlaces{(folder / "data").string(), (folder / "config").string(), {}};
}

// range(0): whether the desktop entries are published.
void InstallAndRemove(benchmark::State& state) {
    const std::filesystem::path folder = BenchFolder();
    RegistryStore store((folder / "registry.reg").string());
    if (state.range(0))
        PublishFolderVerbsOnChange(store, Places(folder));
    for (auto _ : state) {
        InstallShellVerb(kProgram, "Nomilo", store);
        RemoveShellVerb(store);
    }
}
BENCHMARK(InstallAndRemove)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The exit step with the verb installed: the label is usually the one stored already.
void RelabelAtExit(benchmark::State& state) {
    const std::filesystem::path folder = BenchFolder();
    RegistryStore store((folder / "registry.reg").string());
    if (state.range(0))
        PublishFolderVerbsOnChange(store, Places(folder));
    InstallShellVerb(kProgram, "Nomilo", store);
    for (auto _ : state)
        RelabelShellVerb("No&milo", store);
}
BENCHMARK(RelabelAtExit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nomilo
