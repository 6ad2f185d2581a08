// The printed thematic catalogue of 1,000 movements written as a PDF file, as `velk-catalogue print` and the
// window's Print do it, and the CSV export of the same catalogue. Target for the PDF: under 10 s.
#include "exchange/CataloguePrinting.h"
#include "exchange/Csv.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ReferenceData.h"
#include "store/Schema.h"
#include "tools/Synth.h"
#include "ui/Fonts.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

namespace fs = std::filesystem;

// A synthetic catalogue of the given size in a scratch folder, made once per size.
fs::path catalogue(std::int64_t movements)
{
    const fs::path folder = fs::temp_directory_path() / "velk-print-bench";
    fs::create_directories(folder);
    const fs::path file = folder / ("synth-" + std::to_string(movements) + ".db");
    if (!fs::exists(file)) {
        auto connection = velk::store::Connection::createFile(file.string());
        velk::store::createSchema(connection);
        velk::store::insertReferenceData(connection);
        velk::tools::writeSynthCatalogue(connection, movements, movements * 60, 7);
    }
    return file;
}

void PrintPdf(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    const std::string pdf = (file.parent_path() / "catalogue.pdf").string();
    int pages = 0;
    for (auto _ : state) {
        const auto printed = velk::exchange::printCataloguePdf(velk::store::connectionStringForFile(file.string()),
                                                               velk::exchange::Selection::all(), pdf);
        if (!printed) {
            state.SkipWithError(printed.message().c_str());
            break;
        }
        pages = printed.value();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(PrintPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void ExportCsv(benchmark::State& state)
{
    const fs::path file = catalogue(state.range(0));
    const std::string csv = (file.parent_path() / "catalogue.csv").string();
    for (auto _ : state) {
        const auto written = velk::exchange::exportCsv(velk::store::connectionStringForFile(file.string()),
                                                       velk::exchange::Selection::all(), csv);
        if (!written) {
            state.SkipWithError(written.message().c_str());
            break;
        }
    }
}
BENCHMARK(ExportCsv)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    velk::ui::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
