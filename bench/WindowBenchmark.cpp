// Window benchmarks over a home holding the synthetic library of 10,000 products, a picture on disk for each and
// klv-store serving the same library on loopback (see WindowSandbox). Each benchmark measures the window and, in the
// same iteration, a baseline doing the same job without a window; the ratio is what to compare across machines.
// The first frame and the memory are measured on whole processes (this program started again as a probe, against
// klv list --json); typing and scrolling drive the real window in this process, offscreen, and count the main
// thread's CPU time, so that other work on a shared machine does not count.

#include "LibraryWindow.h"
#include "Measurement.h"
#include "SummaryReporter.h"
#include "WindowProbe.h"
#include "WindowSandbox.h"
#include "app/AppContext.h"
#include "controls/StoreWebView.h"
#include "library/LibraryFilter.h"
#include "library/ProductLibrary.h"
#include "shell/MainViewController.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace klv::bench {
namespace {

constexpr int firstRowsTimeoutMs = 60'000;
constexpr int frameTimeoutMs = 10'000;
// Time for the featured page to load in this process before anything is measured: its work runs on the main thread.
constexpr int webSettleMs = 5'000;
const QString probeOption = u"--window-probe="_s;
const QString spawnedOption = u"--spawned-at="_s;

WindowSandbox *sandbox = nullptr;
std::unique_ptr<LibraryWindow> libraryWindow;

void skip(benchmark::State &state, const QString &error) {
    state.SkipWithError(error.toStdString().c_str());
}

// The numbers the probe printed after the given words, e.g. "first_frame_ms".
std::optional<double> probeFigure(const QByteArray &key) {
    QFile output(sandbox->outputFile());
    if (!output.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : output.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        for (qsizetype word = 0; word + 1 < words.size(); ++word) {
            if (words.at(word) == key)
                return words.at(word + 1).toDouble();
        }
    }
    return std::nullopt;
}

// The window of this process, opened once, its rows painted and the featured page loaded.
LibraryWindow *openedWindow(benchmark::State &state) {
    if (!sandbox->ready()) {
        skip(state, sandbox->error());
        return nullptr;
    }
    if (!libraryWindow) {
        libraryWindow = std::make_unique<LibraryWindow>();
        if (!libraryWindow->waitForFirstRows(firstRowsTimeoutMs)) {
            skip(state, u"the library's rows were never painted"_s);
            return nullptr;
        }
        LibraryWindow::waitUntil([] { return false; }, webSettleMs);
    }
    return libraryWindow.get();
}

void firstFrame(benchmark::State &state) {
    if (!sandbox->ready()) {
        skip(state, sandbox->error());
        return;
    }
    for (auto _ : state) {
        const ChildRun list = sandbox->klvList();
        const QString spawnedAt = QString::number(monotonicNanoseconds());
        const ChildRun window = sandbox->self({probeOption + u"first-frame"_s, spawnedOption + spawnedAt});
        const std::optional<double> milliseconds = probeFigure("first_frame_ms");
        if (list.exitCode != 0 || window.exitCode != 0 || !milliseconds) {
            skip(state, sandbox->error().isEmpty() ? u"the probe printed no time"_s : sandbox->error());
            break;
        }
        state.SetIterationTime(*milliseconds / 1e3);
        state.counters["baseline_ms"] = list.seconds * 1e3;
        state.counters["ratio"] = *milliseconds / (list.seconds * 1e3);
    }
}

void residentMemory(benchmark::State &state) {
    if (!sandbox->ready()) {
        skip(state, sandbox->error());
        return;
    }
    for (auto _ : state) {
        const ChildRun list = sandbox->klvList();
        const ChildRun window = sandbox->self({probeOption + u"memory"_s});
        const std::optional<double> resident = probeFigure("rss_mb");
        const std::optional<double> peak = probeFigure("hwm_mb");
        const std::optional<double> helpers = probeFigure("helpers_mb");
        const std::optional<double> rows = probeFigure("rows");
        if (list.exitCode != 0 || window.exitCode != 0 || !resident || !peak || !helpers || !rows) {
            skip(state, sandbox->error().isEmpty() ? u"the probe printed no figures"_s : sandbox->error());
            break;
        }
        state.SetIterationTime(window.seconds);
        state.counters["rss_MB"] = *resident;
        state.counters["peak_MB"] = *peak;
        state.counters["helpers_MB"] = *helpers;
        state.counters["rows"] = *rows;
        state.counters["baseline_peak_MB"] = list.peakMegabytes;
        state.counters["ratio"] = *peak / list.peakMegabytes;
    }
}

void typeKey(QWidget &field, Qt::Key key, const QString &text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&field, &release);
}

// One character typed into the search field holding `before`: filter, view update and repaint, against
// filterLibrary alone with the same settings.
void typeInSearch(benchmark::State &state, const QString &before, Qt::Key key, const QString &character) {
    LibraryWindow *window = openedWindow(state);
    if (!window)
        return;
    QLineEdit &field = window->searchField();
    const ProductLibrary &library = window->context().library();
    LibraryViewSettings settings = library.viewSettings;
    settings.searchString = before + character;
    double subject = 0;
    double baseline = 0;
    qsizetype rows = 0;
    for (auto _ : state) {
        const int restored = window->outlineFrames();
        const bool changed = field.text() != before;
        field.setText(before);
        if (changed && !window->waitForFrameAfter(restored, frameTimeoutMs)) {
            skip(state, u"the outline did not paint after the search was set"_s);
            return;
        }
        const int typed = window->outlineFrames();
        const double start = threadSeconds();
        typeKey(field, key, character);
        const bool painted = window->waitForFrameAfter(typed, frameTimeoutMs);
        const double windowSeconds = threadSeconds() - start;
        if (!painted || field.text() != settings.searchString) {
            skip(state, u"typing did not reach the outline"_s);
            return;
        }
        const double filterStart = threadSeconds();
        rows = filterLibrary(settings, library.libraryProducts(), library.cachedProducts()).size();
        const double filterSeconds = threadSeconds() - filterStart;
        state.SetIterationTime(windowSeconds);
        subject += windowSeconds;
        baseline += filterSeconds;
    }
    field.clear();
    state.counters["baseline_ms"] = baseline * 1e3 / double(state.iterations());
    state.counters["ratio"] = subject / baseline;
    state.counters["rows"] = double(rows);
}

void typeFirstCharacter(benchmark::State &state) {
    typeInSearch(state, QString(), Qt::Key_G, u"g"_s);
}
void typeFourthCharacter(benchmark::State &state) {
    typeInSearch(state, u"glo"_s, Qt::Key_W, u"w"_s);
}

// Every group expanded, the outline paged from top to bottom: frames per second of wall-clock time, and the main
// thread's CPU time per frame.
void scrollOutline(benchmark::State &state) {
    LibraryWindow *window = openedWindow(state);
    if (!window)
        return;
    QTreeView &outline = window->outline();
    outline.expandAll();
    int frames = 0;
    for (auto _ : state) {
        const int before = window->outlineFrames();
        outline.verticalScrollBar()->setValue(0);
        outline.viewport()->update();
        if (!window->waitForFrameAfter(before, frameTimeoutMs)) {
            skip(state, u"the outline did not paint at the top"_s);
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadSeconds();
        frames = scrollThrough(*window);
        const double cpuSeconds = threadSeconds() - cpuStart;
        const double seconds = secondsSince(start);
        if (frames <= 0) {
            skip(state, u"the outline stopped painting while it scrolled"_s);
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["frames"] = frames;
        state.counters["fps"] = frames / seconds;
        state.counters["cpu_ms_per_frame"] = cpuSeconds * 1e3 / frames;
    }
    outline.collapseAll();
}

BENCHMARK(firstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7);
BENCHMARK(residentMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(typeFirstCharacter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5);
BENCHMARK(typeFourthCharacter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5);
BENCHMARK(scrollOutline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Each benchmark's figures (the median when repeated) against its target.
void printSummary(const SummaryReporter &reporter) {
    if (reporter.isEmpty())
        return;
    std::printf("\nSummary: the window against the same job without a window, against the targets\n");
    if (const SummaryReporter::Run *run = reporter.find("firstFrame")) {
        const double ratio = SummaryReporter::counter(*run, "ratio");
        std::printf("  From process start to the library's first painted frame, 10,000 products (baseline: the "
                    "whole klv list --json)\n    %.0f ms, baseline %.0f ms: %.2fx (%s); target at most 2x: %s\n",
                    run->GetAdjustedRealTime(), SummaryReporter::counter(*run, "baseline_ms"), ratio,
                    SummaryReporter::runs(*run).c_str(), ratio <= 2.0 ? "met" : "MISSED");
    }
    for (const auto &[name, what] : {std::pair{"typeFirstCharacter", "\"g\" into the empty search field"},
                                     std::pair{"typeFourthCharacter", "\"w\" after \"glo\""}}) {
        if (const SummaryReporter::Run *run = reporter.find(name)) {
            const double ratio = SummaryReporter::counter(*run, "ratio");
            std::printf("  Typing %s: filter, view update and repaint, %.0f rows (baseline: filterLibrary "
                        "alone)\n    %.2f ms, baseline %.2f ms: %.2fx (%s); target at most 2x: %s\n",
                        what, SummaryReporter::counter(*run, "rows"), run->GetAdjustedRealTime(),
                        SummaryReporter::counter(*run, "baseline_ms"), ratio, SummaryReporter::runs(*run).c_str(),
                        ratio <= 2.0 ? "met" : "MISSED");
        }
    }
    if (const SummaryReporter::Run *run = reporter.find("scrollOutline")) {
        std::printf("  Scrolling the %.0f-frame outline of 10,000 rows top to bottom, a page at a time, offscreen\n"
                    "    %.1f frames/s, %.2f ms of main-thread CPU a frame (%s); reported\n",
                    SummaryReporter::counter(*run, "frames"), SummaryReporter::counter(*run, "fps"),
                    SummaryReporter::counter(*run, "cpu_ms_per_frame"), SummaryReporter::runs(*run).c_str());
    }
    if (const SummaryReporter::Run *run = reporter.find("residentMemory")) {
        const double peak = SummaryReporter::counter(*run, "peak_MB");
        std::printf("  Resident memory of the window, 10,000 products with pictures scrolled through, %.0f rows, "
                    "web pages not visited (baseline: peak of klv list --json)\n    %.1f MB now, peak %.1f MB; "
                    "its web engine helpers %.1f MB besides; baseline %.1f MB (%s); target under 250 MB: %s\n",
                    SummaryReporter::counter(*run, "rows"), SummaryReporter::counter(*run, "rss_MB"), peak,
                    SummaryReporter::counter(*run, "helpers_MB"), SummaryReporter::counter(*run, "baseline_peak_MB"),
                    SummaryReporter::runs(*run).c_str(), peak < 250.0 ? "met" : "MISSED");
    }
}

} // namespace
} // namespace klv::bench

int main(int argc, char **argv) {
    // The window draws offscreen, whatever display there is; Qt WebEngine refuses root with its sandbox on.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (argc > 1 && QString::fromLocal8Bit(argv[1]).startsWith(klv::bench::probeOption)) {
        klv::ui::StoreWebView::prepareProcess();
        QApplication application(argc, argv);
        const QStringList arguments = QApplication::arguments();
        const QString mode = arguments.at(1).sliced(klv::bench::probeOption.size());
        qint64 spawnedAt = 0;
        if (arguments.size() > 2 && arguments.at(2).startsWith(klv::bench::spawnedOption))
            spawnedAt = arguments.at(2).sliced(klv::bench::spawnedOption.size()).toLongLong();
        return klv::bench::runWindowProbe(mode, spawnedAt);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    klv::ui::StoreWebView::prepareProcess();
    QApplication application(argc, argv);
    klv::bench::WindowSandbox sandbox;
    klv::bench::sandbox = &sandbox;
    klv::bench::SummaryReporter::runAndSummarize(klv::bench::printSummary);
    klv::bench::libraryWindow.reset();
    return 0;
}
