// The stages as first written against the fast ones, per stage and for the
// whole run, on the same generated tables. Select with --benchmark_filter,
// e.g. --benchmark_filter='/20000' or --benchmark_filter='Fast.*/1000000'.

#include "Reference.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Form.h"
#include "platform/SequentialFile.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace modQuorvale;

// Everything the stages hand to each other.
struct ModuleState {
    std::int32_t recordCount = 0;
    platform::IntTable table;
    std::optional<ListOfLists> outputLists;
    std::optional<PositionList> notPlaced;
    std::optional<PositionList> rejected;
    std::optional<ListOfLists> pendingGroups;
    std::vector<PendingGroupFacts> pendingFacts;

    static ModuleState Capture() {
        return {RecordCount,  RecordTable,   OutputLists, NotPlacedList,
                RejectedList, PendingGroups, PendingFacts};
    }
    void Restore() const {
        RecordCount = recordCount;
        RecordTable = table;
        OutputLists = outputLists;
        NotPlacedList = notPlaced;
        RejectedList = rejected;
        PendingGroups = pendingGroups;
        PendingFacts = pendingFacts;
    }
};

// Realistic records: keys shared by about four records with one Value1,
// a few out of range and a few keys used inconsistently.
void GenerateTable(std::int32_t count) {
    std::mt19937 rng(static_cast<std::uint32_t>(count));
    auto uniform = [&](std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(rng);
    };
    const std::int32_t keys = std::max(1, count / 4);
    std::vector<std::int32_t> keyValue1(static_cast<std::size_t>(keys) + 1);
    for (auto& value1 : keyValue1) {
        value1 = uniform(Value1Min, Value1Max);
    }
    RecordCount = count;
    RecordTable.Create(count, FieldCount);
    for (std::int32_t p = 0; p < count; ++p) {
        const std::int32_t key = uniform(1, keys);
        const std::int32_t roll = uniform(0, 999);
        const std::int32_t value1 = roll < 10   ? uniform(1, 48)
                                    : roll < 25 ? 49 + roll
                                                : keyValue1[static_cast<std::size_t>(key)];
        const std::int32_t value2 = uniform(0, 999) < 15 ? 8 : uniform(1, 7);
        RecordTable.Set(p, Value1, value1);
        RecordTable.Set(p, Value2, value2);
        RecordTable.Set(p, GroupKey, key);
        RecordTable.Set(p, Spare, uniform(0, 999));
        RecordTable.Set(p, Status, StatusFree);
    }
}

// The state before each stage for a table size, made once with the fast
// stages (the differential tests show both give the same state).
struct StageInputs {
    ModuleState beforeValidate, beforeGroups, beforePairs;
};

const StageInputs& InputsFor(std::int32_t count) {
    static std::map<std::int32_t, StageInputs> cache;
    auto found = cache.find(count);
    if (found == cache.end()) {
        StageInputs inputs;
        GenerateTable(count);
        inputs.beforeValidate = ModuleState::Capture();
        ValidateAndSort();
        inputs.beforeGroups = ModuleState::Capture();
        BuildGroups();
        inputs.beforePairs = ModuleState::Capture();
        found = cache.emplace(count, std::move(inputs)).first;
    }
    return found->second;
}

template <ModuleState StageInputs::*Before>
void RunStage(benchmark::State& state, void (*stage)()) {
    const ModuleState& before = InputsFor(static_cast<std::int32_t>(state.range(0))).*Before;
    for (auto _ : state) {
        state.PauseTiming();
        before.Restore();
        state.ResumeTiming();
        stage();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The data file of a table size, written once.
const std::string& DataFileFor(std::int32_t count) {
    static std::map<std::int32_t, std::string> files;
    auto found = files.find(count);
    if (found == files.end()) {
        const ModuleState& table = InputsFor(count).beforeValidate;
        const auto path = std::filesystem::temp_directory_path() /
                          ("quorvale-bench-" + std::to_string(count) + ".txt");
        std::ofstream out(path);
        out << count << '\n';
        for (std::int32_t p = 0; p < count; ++p) {
            out << table.table.Get(p, Value1) << ',' << table.table.Get(p, Value2) << ','
                << table.table.Get(p, GroupKey) << ',' << table.table.Get(p, Spare) << '\n';
        }
        found = files.emplace(count, path.string()).first;
    }
    return found->second;
}

// Load and the four stages, without the lists.
void RunStages(benchmark::State& state, void (*validate)(), void (*group)(), void (*pair)()) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    platform::RedirectFile(DataFileName, DataFileFor(count));
    for (auto _ : state) {
        LoadRecords();
        validate();
        group();
        pair();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// What the window's load handler does: load, the four stages, the four
// lists filled. Against Fast_Stages it shows what filling the lists costs.
void RunFormLoad(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    platform::RedirectFile(DataFileName, DataFileFor(count));
    for (auto _ : state) {
        platform::Form form(frmQuorvale::Layout());
        frmQuorvale::Form_Load(form);
        benchmark::DoNotOptimize(form);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void LiteralSizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
}
void FastSizes(benchmark::internal::Benchmark* b) {
    LiteralSizes(b);
    b->Arg(100000)->Arg(1000000)->Arg(10000000);
}

void Literal_ValidateAndSort(benchmark::State& s) {
    RunStage<&StageInputs::beforeValidate>(s, reference::ValidateAndSort);
}
void Fast_ValidateAndSort(benchmark::State& s) {
    RunStage<&StageInputs::beforeValidate>(s, ValidateAndSort);
}
void Literal_BuildGroups(benchmark::State& s) {
    RunStage<&StageInputs::beforeGroups>(s, reference::BuildGroups);
}
void Fast_BuildGroups(benchmark::State& s) {
    RunStage<&StageInputs::beforeGroups>(s, BuildGroups);
}
void Literal_PairGroups(benchmark::State& s) {
    RunStage<&StageInputs::beforePairs>(s, reference::PairGroups);
}
void Fast_PairGroups(benchmark::State& s) {
    RunStage<&StageInputs::beforePairs>(s, PairGroups);
}
void Literal_Stages(benchmark::State& s) {
    RunStages(s, reference::ValidateAndSort, reference::BuildGroups, reference::PairGroups);
}
void Fast_Stages(benchmark::State& s) {
    RunStages(s, ValidateAndSort, BuildGroups, PairGroups);
}
void Fast_WholeRun(benchmark::State& s) {
    RunFormLoad(s);
}

// Loading alone, to see that it does not dominate.
void Fast_LoadRecords(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    platform::RedirectFile(DataFileName, DataFileFor(count));
    for (auto _ : state) {
        LoadRecords();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(Literal_ValidateAndSort)->Apply(LiteralSizes);
BENCHMARK(Fast_ValidateAndSort)->Apply(FastSizes);
BENCHMARK(Literal_BuildGroups)->Apply(LiteralSizes);
BENCHMARK(Fast_BuildGroups)->Apply(FastSizes);
BENCHMARK(Literal_PairGroups)->Apply(LiteralSizes);
BENCHMARK(Fast_PairGroups)->Apply(FastSizes);
BENCHMARK(Literal_Stages)->Apply(LiteralSizes);
BENCHMARK(Fast_Stages)->Apply(FastSizes);
BENCHMARK(Fast_WholeRun)->Apply(FastSizes);
BENCHMARK(Fast_LoadRecords)->Apply(FastSizes);

} // namespace

BENCHMARK_MAIN();
