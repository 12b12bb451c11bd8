// The shell verb's cost as the user meets it: installing and removing it from the context menu,
// and relabelling it at each exit, with the entries of every file manager published on every
// change and without; and the whole exit (the settings saved, the verb relabelled and published)
// with a store that holds about 1 MB of other folder verbs. The store and the data folder live
// under $NOMILO_BENCH_DIR (on disk, so that flushing costs what it costs), else under /tmp.
#include "platform/desktop/DesktopPublisher.h"
#include "settings/SettingsKeys.h"
#include "settings/ShellVerb.h"
#include "settings/TRegIniFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A store with `kilobytes` KB of folder verbs of other programs besides our installed one; each
// with its label and, when `commands`, a command, so that file managers show it too.
std::string StoreWithVerbs(std::size_t kilobytes, bool commands) {
    std::string text = "REGEDIT4\n";
    for (int i = 0; text.size() < kilobytes * 1024; ++i) {
        const std::string key = "[HKEY_CLASSES_ROOT\\Folder\\shell\\Verb" + std::to_string(i);
        text += "\n" + key + "]\n@=\"Verb &" + std::to_string(i) + "\"\n";
        if (commands)
            text += "\n" + key + "\\Command]\n@=\"\\\"/usr/bin/tool\\\" \\\"%L\\\"\"\n";
    }
    return text;
}

// The steps of the program's end: every setting saved in one change, then the verb relabelled,
// which publishes it when the label changes.
void ExitSteps(RegistryStore& store, int width, const char* label) {
    TRegIniFile settings(kSettingsKey, store);
    settings.BeginUpdate();
    settings.WriteText(kLanguageValue, "English");
    for (const char* name : {kWidthValue, kHeightValue, kTopValue, kLeftValue,
                             kFolderListWidthValue, kPanel2WidthValue, kPanel6WidthValue})
        settings.WriteNumber(name, width);
    settings.WriteFlag(kRenameSelValue, true);
    settings.WriteFlag(kShowNewNamesValue, false);
    settings.EndUpdate();
    RelabelShellVerb(label, store);
}

// range(0): KB of other verbs; range(1): whether they have commands, whose entries were
// published before, as a program that installed them would have left them; range(2): whether
// the language changed since the last exit (the label changes: the verb is published).
void ExitWithManyVerbs(benchmark::State& state) {
    const std::filesystem::path folder = BenchFolder();
    const std::string path = (folder / "registry.reg").string();
    std::ofstream(path) << StoreWithVerbs(static_cast<std::size_t>(state.range(0)),
                                          state.range(1) != 0);
    RegistryStore store(path);
    PublishFolderVerbsOnChange(store, Places(folder));
    InstallShellVerb(kProgram, "Nomilo", store);
    RelabelShellVerb("No&milo", store);
    const bool languageChanged = state.range(2) != 0;
    int width = 300;
    for (auto _ : state) {
        ++width; // a real change of the settings every time
        ExitSteps(store, width, languageChanged && width % 2 == 0 ? "Vel&karo" : "No&milo");
    }
    state.SetLabel(std::to_string(std::filesystem::file_size(path) / 1024) + " KB store");
}
BENCHMARK(ExitWithManyVerbs)
    ->ArgNames({"KB", "commands", "relabelled"})
    ->ArgsProduct({{256, 1024, 2048}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace
} // namespace nomilo
