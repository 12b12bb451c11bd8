// The rename rule with a regular expression, per name, as a batch or its preview asks it: the
// expression's match and the new name, in the engine (PCRE2 with its JIT where the machine has
// it) and around it. Names of the shape a camera gives, ASCII or with a byte that is not UTF-8
// (a Latin-1 "é"), where the matches are looked for one place at a time.
#include "rename/RenameBatch.h"
#include "rename/RenameRule.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace nomilo {
namespace {

struct TRuleCase {
    const char* find;
    const char* replace;
    bool every;
};

const TRuleCase kCases[] = {
    {"^IMG_(\\d+)_(\\w+)", "Trip_$2_$1", false}, // groups, spliced in without the engine
    {" ", "_", true},                            // every match, plain text
    {"(\\d+)", "\\U$1x", true},                  // every match, in the engine's substitution
    {"x*", "-", true},                           // an empty match between every two characters
};

void RenameByRule(benchmark::State& state) {
    const TRuleCase& rule = kCases[state.range(0)];
    const bool latin1 = state.range(1) != 0;
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "IMG_%05d_holiday %s.jpg", i, latin1 ? "caf\xE9" : "cafe");
        names.emplace_back(name);
    }
    TRenameInputs inputs;
    inputs.findText = rule.find;
    inputs.replaceText = rule.replace;
    inputs.regularExpression = true;
    inputs.everyOccurrence = rule.every;
    const TRenameRule renameRule(inputs);
    std::string out;
    for (auto _ : state)
        for (const std::string& name : names) {
            out.clear();
            benchmark::DoNotOptimize(renameRule.AppendNewName(name, 0, out));
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
    state.SetLabel(std::string(rule.find) + " -> " + rule.replace + (latin1 ? ", Latin-1" : ""));
}

BENCHMARK(RenameByRule)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

} // namespace
} // namespace nomilo
