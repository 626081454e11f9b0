// Time from creating the result window to its first painted frame, with
// lstInput holding many lines: the list view over the form's lines against
// one widget item per line. The whole run, load included, ending in the
// painted window against ending in the lists written as text. And at ten
// million records, the keys that follow a record and go to a position: the
// first press, which finds every record's place, against later ones.

#include "FormWindow.h"
#include "ListBoxContents.h"
#include "TextMode.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/SequentialFile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace {

// Lines like the program's record lines, made when the view asks for them.
char* WriteLines(char* out, std::span<const std::int32_t> positions) {
    for (const std::int32_t position : positions) {
        out += std::snprintf(out, platform::ListBox::RecordLineCapacity, "[%05d]   %d-%d-%d\n",
                             position, position % 48 + 1, position % 7 + 1, position % 997);
    }
    return out;
}

platform::Form FormWithInputLines(int count) {
    platform::Form form(frmQuorvale::Layout());
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    input.UseRecordLines(WriteLines);
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

// A data file of realistic records (as bench/make-data.py writes them),
// written once per size.
std::string DataFile(std::int64_t count) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("quorvale-window-bench-" + std::to_string(count) + ".txt");
    if (!std::filesystem::exists(path)) {
        std::mt19937 rng(1);
        auto uniform = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(rng);
        };
        const int keys = std::max<int>(1, static_cast<int>(count / 4));
        std::vector<int> keyValue1(static_cast<std::size_t>(keys) + 1);
        for (int& value1 : keyValue1) {
            value1 = uniform(1, 48);
        }
        std::ofstream out(path);
        out << count << '\n';
        for (std::int64_t i = 0; i < count; ++i) {
            const int key = uniform(1, keys);
            const int roll = uniform(0, 999);
            const int value1 = roll < 10   ? uniform(1, 48)
                               : roll < 25 ? 60
                                           : keyValue1[static_cast<std::size_t>(key)];
            const int value2 = uniform(0, 999) < 15 ? 8 : uniform(1, 7);
            out << value1 << ',' << value2 << ',' << key << ',' << uniform(0, 999) << '\n';
        }
    }
    return path.string();
}

// The load handler, then the window created, shown and painted once. The
// second argument 1 makes the form show tips, so that the stages keep the
// facts behind them; 2 also asks for the first tip of lstInput, which finds
// every record's place.
void BM_LoadThenShowWindow(benchmark::State& state) {
    platform::RedirectFile(modQuorvale::DataFileName, DataFile(state.range(0)));
    const bool showsTips = state.range(1) != 0;
    const bool asksInputTip = state.range(1) == 2;
    for (auto _ : state) {
        platform::Form form(frmQuorvale::Layout(), showsTips);
        frmQuorvale::Form_Load(form);
        platform::FormWindow window(form);
        window.show();
        const QPixmap frame = window.grab();
        benchmark::DoNotOptimize(frame.cacheKey());
        if (asksInputTip) {
            // Every record's place, found again after the next Form_Load.
            benchmark::DoNotOptimize(form.ListBoxNamed("lstInput").Tip(0));
        }
    }
}
BENCHMARK(BM_LoadThenShowWindow)
    ->Args({46, 0})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Args({1'000'000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The load handler, then the lists written as text mode writes them.
void BM_LoadThenWriteText(benchmark::State& state) {
    platform::RedirectFile(modQuorvale::DataFileName, DataFile(state.range(0)));
    const auto output = std::filesystem::temp_directory_path() / "quorvale-window-bench.out";
    std::FILE* sink = std::fopen(output.string().c_str(), "wb");
    for (auto _ : state) {
        platform::Form form(frmQuorvale::Layout());
        frmQuorvale::Form_Load(form);
        std::rewind(sink);
        benchmark::DoNotOptimize(platform::WriteFormAsText(form, sink));
    }
    std::fclose(sink);
    std::filesystem::remove(output);
}
BENCHMARK(BM_LoadThenWriteText)
    ->Arg(46)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Ten million records in the window as the program shows it, tips and keys
// included, made once for the benchmarks of the keys; the first key press
// also finds every record's place, so it is measured apart from later ones.
struct BigWindow {
    std::unique_ptr<platform::Form> form;
    std::unique_ptr<platform::FormWindow> window;

    QListView& List(const char* name) const { return *window->findChild<QListView*>(name); }
};
std::unique_ptr<BigWindow> bigWindow; // goes before the application

BigWindow& TenMillionRecords() {
    if (!bigWindow) {
        platform::RedirectFile(modQuorvale::DataFileName, DataFile(10'000'000));
        bigWindow = std::make_unique<BigWindow>();
        bigWindow->form = std::make_unique<platform::Form>(frmQuorvale::Layout(), true);
        frmQuorvale::Form_Load(*bigWindow->form);
        bigWindow->window = std::make_unique<platform::FormWindow>(*bigWindow->form);
        bigWindow->window->show();
        QApplication::setActiveWindow(bigWindow->window.get());
        (void)bigWindow->window->grab();
    }
    return *bigWindow;
}

// The list focused on this line, as the user left it before the key.
void FocusLine(QListView& list, int row) {
    list.setFocus();
    list.setCurrentIndex(list.model()->index(row, 0));
    QApplication::processEvents();
}

void Press(QListView& list, Qt::Key key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&list, &press);
}

// Enter on a record's input line, ending with its other line focused,
// selected and in view. Argument 0: every record's place forgotten before
// each press, as for the window's first follow; 1: found already.
void BM_FollowRecord(benchmark::State& state) {
    const BigWindow& big = TenMillionRecords();
    QListView& input = big.List("lstInput");
    const bool first = state.range(0) == 0;
    std::int32_t row = 12'345;
    std::int64_t missed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (first) {
            frmQuorvale::RecordPlaces = {};
        }
        row = static_cast<std::int32_t>((row * std::int64_t{7919} + 104'729) %
                                        modQuorvale::RecordCount);
        FocusLine(input, row);
        state.ResumeTiming();
        Press(input, Qt::Key_Return);
        missed += QApplication::focusWidget() == &input ? 1 : 0;
    }
    state.counters["missed"] = static_cast<double>(missed);
}
BENCHMARK(BM_FollowRecord)->Arg(0)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FollowRecord)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A position typed digit by digit in "Output Data:", ending with its line
// focused: the time of all its key presses. Each number is typed in the
// other of two lists, so that it starts afresh without a second's pause.
// Argument 0 or 1 as for BM_FollowRecord.
void BM_GoToPosition(benchmark::State& state) {
    const BigWindow& big = TenMillionRecords();
    QListView* lists[] = {&big.List("lstOutput"), &big.List("lstErrors")};
    const bool first = state.range(0) == 0;
    std::int32_t line = 54'321;
    std::int64_t missed = 0;
    // Kept across runs too: a run's first number is typed in the list that
    // the last run did not end in.
    static bool other = false;
    for (auto _ : state) {
        state.PauseTiming();
        if (first) {
            frmQuorvale::RecordPlaces = {};
        }
        FocusLine(*lists[other], 0);
        other = !other;
        // A record line of the list, and the position it shows.
        const platform::ListBox& lines =
            big.form->ListBoxNamed(lists[!other]->objectName().toStdString());
        std::int32_t position = -1;
        while (position < 0) {
            line = static_cast<std::int32_t>((line * std::int64_t{7919} + 104'729) %
                                             lines.ListCount());
            position = platform::ListBoxContents::KindOf(lines, line) ==
                               platform::ListBoxContents::LineKind::Record
                           ? platform::ListBoxContents::RecordOf(lines, line)
                           : -1;
        }
        const QString digits = QString::number(position);
        state.ResumeTiming();
        for (const QChar digit : digits) {
            Press(*lists[!other], static_cast<Qt::Key>(Qt::Key_0 + (digit.unicode() - u'0')),
                  digit);
        }
        missed += lists[!other]->currentIndex().row() != line ? 1 : 0;
    }
    state.counters["missed"] = static_cast<double>(missed);
}
BENCHMARK(BM_GoToPosition)->Arg(0)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GoToPosition)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    bigWindow.reset();
    return 0;
}
