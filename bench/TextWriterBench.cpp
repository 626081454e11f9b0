// Text mode's writing of a loaded form, one thread against two, into a file
// (as `quorvale --text FILE > out` writes) and into /dev/null (formatting
// and the calls alone). The data file is QUORVALE_BENCH_DATA, for instance
// the million records of `bench/make-data.py 1000000 Data.txt`.
// On a shared machine, run it with --benchmark_enable_random_interleaving
// and repetitions, so that both sides see the same load.

#include "TextMode.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/SequentialFile.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const char* DataPath() {
    const char* path = std::getenv("QUORVALE_BENCH_DATA");
    return path != nullptr ? path : "";
}

// Loaded once: only the writing is measured.
const platform::Form* LoadedForm() {
    static const std::unique_ptr<platform::Form> form = [] {
        auto loaded = std::make_unique<platform::Form>(frmQuorvale::Layout());
        platform::RedirectFile(modQuorvale::DataFileName, DataPath());
        frmQuorvale::Form_Load(*loaded);
        return loaded;
    }();
    return form.get();
}

// Arguments: threads (1 or 2), sink (0 a file, 1 /dev/null), block room in KiB.
void BM_WriteText(benchmark::State& state) {
    if (!std::filesystem::exists(DataPath())) {
        state.SkipWithError(
            "no data file: set QUORVALE_BENCH_DATA to one that bench/make-data.py wrote");
        return;
    }
    const platform::Form& form = *LoadedForm();
    platform::TextWriting how;
    how.twoThreadsFrom = state.range(0) == 2 ? 1 : INT32_MAX;
    how.blockRoom = static_cast<std::size_t>(state.range(2)) << 10;
    const auto file = std::filesystem::temp_directory_path() / "quorvale-text-bench.out";
    const std::string sink = state.range(1) == 0 ? file.string() : "/dev/null";
    for (auto _ : state) {
        std::FILE* out = std::fopen(sink.c_str(), "wb");
        benchmark::DoNotOptimize(platform::WriteFormAsText(form, out, {}, how));
        std::fclose(out);
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_WriteText)
    ->ArgNames({"threads", "null", "roomKiB"})
    ->Args({1, 0, 1024})
    ->Args({2, 0, 256})
    ->Args({2, 0, 1024})
    ->Args({2, 0, 4096})
    ->Args({1, 1, 1024})
    ->Args({2, 1, 256})
    ->Args({2, 1, 1024})
    ->Args({2, 1, 4096})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime() // both threads' time
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
