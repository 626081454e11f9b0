// Time from creating the result window to its first painted frame, with
// lstInput holding many lines: the list view over the form's lines against
// one widget item per line.

#include "FormWindow.h"
#include "frmQuorvale.h"

#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Lines like the program's record lines, made when the view asks for them.
char* WriteLine(char* out, std::int32_t position) {
    const int length =
        std::snprintf(out, platform::ListBox::RecordLineCapacity, "[%05d]   %d-%d-%d", position,
                      position % 48 + 1, position % 7 + 1, position % 997);
    return out + length;
}

platform::Form FormWithInputLines(int count) {
    platform::Form form(frmQuorvale::Layout());
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    input.UseRecordLines(WriteLine);
    for (int i = 0; i < count; ++i) {
        input.AddRecordLine(i);
    }
    return form;
}

// Create, show and paint the whole window once.
void BM_FirstPaint_ListView(benchmark::State& state) {
    const platform::Form form = FormWithInputLines(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        platform::FormWindow window(form);
        window.show();
        const QPixmap frame = window.grab();
        benchmark::DoNotOptimize(frame.cacheKey());
    }
    state.counters["lines"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_FirstPaint_ListView)
    ->Arg(1'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Scrolling to the last line and painting again, in an open window.
void BM_ScrollToEndAndPaint_ListView(benchmark::State& state) {
    const platform::Form form = FormWithInputLines(static_cast<int>(state.range(0)));
    platform::FormWindow window(form);
    window.show();
    (void)window.grab();
    auto* list = window.findChild<QListView*>("lstInput");
    bool atEnd = false;
    for (auto _ : state) {
        atEnd ? list->scrollToTop() : list->scrollToBottom();
        atEnd = !atEnd;
        const QPixmap frame = window.grab();
        benchmark::DoNotOptimize(frame.cacheKey());
    }
}
BENCHMARK(BM_ScrollToEndAndPaint_ListView)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same lines as one QListWidgetItem each, for comparison.
void BM_FirstPaint_ListWidgetItems(benchmark::State& state) {
    const platform::Form form = FormWithInputLines(static_cast<int>(state.range(0)));
    const platform::ListBox& input = form.ListBoxNamed("lstInput");
    for (auto _ : state) {
        QListWidget list;
        list.resize(139, 264);
        for (int i = 0; i < input.ListCount(); ++i) {
            const std::string line = input.List(i);
            list.addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        }
        list.show();
        const QPixmap frame = list.grab();
        benchmark::DoNotOptimize(frame.cacheKey());
    }
}
BENCHMARK(BM_FirstPaint_ListWidgetItems)
    ->Arg(1'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
