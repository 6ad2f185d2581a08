// Importing the large old catalogue (5,000 movements, 248,889 sequence rows): in this process, and as the window
// runs it, through velk-catalogue in a child process under its limits. Target: under 3 s.
#include "legacy/ImportProcess.h"
#include "tools/CatalogueImport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

namespace fs = std::filesystem;

std::string bigFixture()
{
    const char* given = std::getenv("VELK_LEGACY_BIG");
    return given ? given : VELK_LEGACY_BIG;
}

fs::path scratch()
{
    const fs::path folder = fs::temp_directory_path() / "velk-import-bench";
    fs::create_directories(folder);
    return folder / "Velk.db";
}

void ImportInProcess(benchmark::State& state)
{
    if (!fs::exists(bigFixture())) {
        state.SkipWithError(("no " + bigFixture() + " (set VELK_LEGACY_BIG)").c_str());
        return;
    }
    const fs::path target = scratch();
    for (auto _ : state) {
        const auto report = velk::tools::importCatalogue(bigFixture(), target.string(), true);
        benchmark::DoNotOptimize(report.tables.size());
    }
    fs::remove_all(target.parent_path());
}

void ImportInChild(benchmark::State& state)
{
    if (!fs::exists(bigFixture())) {
        state.SkipWithError(("no " + bigFixture() + " (set VELK_LEGACY_BIG)").c_str());
        return;
    }
    const fs::path target = scratch();
    for (auto _ : state) {
        const auto result = velk::legacy::runImport(VELK_CATALOGUE_EXE, bigFixture(), target.string(), true);
        if (result.end != velk::legacy::ImportEnd::Finished) {
            state.SkipWithError(result.message.c_str());
            break;
        }
    }
    fs::remove_all(target.parent_path());
}

} // namespace

BENCHMARK(ImportInProcess)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ImportInChild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
