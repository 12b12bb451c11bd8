// main() of the benchmarks written with Google Benchmark, on the command line every benchmark
// program takes: [ROUNDS] [SIZE...]. ROUNDS becomes Google Benchmark's repetitions, reported as
// medians and spreads; the sizes do not apply (these benchmarks choose their own). Google
// Benchmark's own options (--benchmark_...) pass through.
#include <benchmark/benchmark.h>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> own;
    std::vector<char*> arguments{argv[0]};
    bool roundsSeen = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]).starts_with("--")) {
            arguments.push_back(argv[i]);
        } else if (!roundsSeen) {
            roundsSeen = true;
            own.push_back("--benchmark_repetitions=" + std::string(argv[i]));
            own.emplace_back("--benchmark_report_aggregates_only=true");
        }
    }
    for (std::string& argument : own)
        arguments.push_back(argument.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
