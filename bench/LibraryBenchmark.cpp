// Library benchmarks on a synthetic 10,000-record library. Each benchmark times the library code and, interleaved in
// the same iterations, a baseline doing the bare minimum of the same job; the ratio of the two is what to compare
// across machines. Times are the thread's CPU time, so that other work on a shared machine does not count.

#include "Measurement.h"
#include "SummaryReporter.h"
#include "SyntheticLibrary.h"
#include "core/Locations.h"
#include "library/InstalledProducts.h"
#include "library/InstalledStateDetector.h"
#include "library/LibraryFilter.h"
#include "library/ProductCache.h"
#include "store/Alerts.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace klv {
namespace {

using bench::Measurement;
using bench::secondsOf;
using bench::SyntheticLibrary;

constexpr qsizetype recordCount = SyntheticLibrary::recordCount;
constexpr qsizetype installedFolderCount = SyntheticLibrary::installedFolderCount;
constexpr qsizetype installedGroupCount = SyntheticLibrary::installedGroupCount;
constexpr std::array categories{"Effects"_L1, "Generators"_L1, "Titles"_L1, "Transitions"_L1};

QString motionFolder(const Locations &locations, const QString &category) {
    return locations.motionFolderByCategory.value(category);
}

class NoAlerts final : public Alerts {
public:
    int present(const QString &, const QString &, const QStringList &) override { return 0; }
};

// The library, its installed Motion folders and its cache file, in a temporary folder.
struct Fixture {
    Fixture() {
        for (const QLatin1StringView category : categories)
            QDir().mkpath(motionFolder(locations, category));
        const SyntheticLibrary synthetic;
        library = synthetic.records;
        for (const SyntheticLibrary::Installed &installedFolder : synthetic.installed) {
            if (QDir().mkdir(motionFolder(locations, installedFolder.category) + u"KLV - "_s +
                             installedFolder.productName))
                ++installedFolders;
        }
        if (const Error error = ProductCache::save(cacheFile, library))
            qFatal("the library could not be written: %s", qPrintable(*error));
    }

    QTemporaryDir folder;
    Locations locations{{folder.filePath(u"Movies"_s), folder.filePath(u"Library"_s),
                         folder.filePath(u"Applications"_s), folder.filePath(u"Group"_s)},
                        u"com.example.bench"_s};
    LogFile log{folder.filePath(u"bench.log"_s)};
    NoAlerts alerts;
    Reporter reporter{log, alerts};
    InstalledProducts installed{locations, reporter};
    QString cacheFile = folder.filePath(u"ProductCache.bin"_s);
    QList<OutlineViewItem> library;
    qsizetype installedFolders = 0;
};

const Fixture *fixture = nullptr;

void filterSearchSorted(benchmark::State &state) {
    const QList<OutlineViewItem> &library = fixture->library;
    const LibraryViewSettings settings{productFilterState::allProduct, productSortState::aToZSort,
                                       u"glow,title,pack"_s};
    const QStringList terms{u"glow"_s, u"title"_s, u"pack"_s};
    Measurement measurement;
    qsizetype rows = 0;
    for (auto _ : state) {
        const double subject = secondsOf([&] { rows = filterLibrary(settings, library, {}).size(); });
        const double baseline = secondsOf([&] {
            // The bare comparison work: each name against each term, exact case, no members, no sort.
            qsizetype hits = 0;
            for (const OutlineViewItem &record : library) {
                for (const QString &term : terms)
                    hits += record.product_name.contains(term) ? 1 : 0;
            }
            benchmark::DoNotOptimize(hits);
        });
        measurement.add(state, subject, baseline);
    }
    measurement.report(state);
    if (rows == 0)
        state.SkipWithError("the search found nothing");
}

// Per product the detection probes, in the detection's order, the Motion folders it tests.
std::vector<std::vector<QByteArray>> motionCandidates(const QList<OutlineViewItem> &library,
                                                      const QHash<QString, qint64> &nameMap) {
    QSet<QString> probed;
    for (const OutlineViewItem &record : library) {
        if (!record.isGroup() && record.product_id != 0)
            probed.insert(record.product_name);
    }
    std::vector<std::vector<QByteArray>> candidates;
    for (auto entry = nameMap.cbegin(); entry != nameMap.cend(); ++entry) {
        if (!probed.contains(entry.key()))
            continue;
        std::vector<QByteArray> paths;
        for (const QString &prefix : {u"KLV - "_s, u"Vantory - "_s}) {
            for (const QLatin1StringView category : categories)
                paths.push_back(QFile::encodeName(motionFolder(fixture->locations, category) + prefix + entry.key()));
        }
        candidates.push_back(std::move(paths));
    }
    return candidates;
}

// The existence test the detection makes, without anything around it.
qsizetype existingCandidates(const std::vector<std::vector<QByteArray>> &candidates) {
    qsizetype found = 0;
    for (const std::vector<QByteArray> &paths : candidates) {
        for (const QByteArray &path : paths) {
            if (::faccessat(AT_FDCWD, path.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
                ++found;
                break;
            }
        }
    }
    return found;
}

void detectOverLibrary(benchmark::State &state) {
    const InstalledStateDetector detector(fixture->installed);
    QList<OutlineViewItem> library = fixture->library;
    const QHash<QString, qint64> nameMap = productNameMap(library);
    const std::vector<std::vector<QByteArray>> candidates = motionCandidates(library, nameMap);
    Measurement measurement;
    qsizetype found = 0;
    for (auto _ : state) {
        for (OutlineViewItem &record : library)
            record.isInstalled = false;
        const double subject =
            secondsOf([&] { benchmark::DoNotOptimize(detector.detectInstalledStates(library, nameMap)); });
        const double baseline = secondsOf([&] { found = existingCandidates(candidates); });
        measurement.add(state, subject, baseline);
    }
    measurement.report(state);
    const auto installedRecords = std::count_if(library.cbegin(), library.cend(),
                                                [](const OutlineViewItem &record) { return record.isInstalled; });
    if (found != installedFolderCount || installedRecords != installedFolderCount + installedGroupCount)
        state.SkipWithError("the detection or the baseline found other folders than were created");
}

void loadProductCache(benchmark::State &state) {
    Measurement measurement;
    qsizetype loaded = 0;
    for (auto _ : state) {
        const double subject = secondsOf([&] {
            const std::optional<QList<OutlineViewItem>> products = ProductCache::load(fixture->cacheFile);
            loaded = products ? products->size() : 0;
        });
        // Reading the file and parsing its JSON, without making records.
        const double baseline = secondsOf([&] {
            QFile file(fixture->cacheFile);
            const bool opened = file.open(QIODevice::ReadOnly);
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
            benchmark::DoNotOptimize(opened);
            benchmark::DoNotOptimize(document);
        });
        measurement.add(state, subject, baseline);
    }
    measurement.report(state);
    if (loaded != recordCount)
        state.SkipWithError("the cache file did not load whole");
}

BENCHMARK(filterSearchSorted)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(detectOverLibrary)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(loadProductCache)->UseManualTime()->Unit(benchmark::kMillisecond);

struct Target {
    std::string benchmark;
    std::string description;
    std::optional<double> maxMilliseconds;
    std::optional<double> maxRatio;
};

const std::vector<Target> targets{
    {"filterSearchSorted", "filterLibrary, 3-term search, A-Z (baseline: one pass comparing each name with the terms)",
     10.0, 5.0},
    {"detectOverLibrary", "detectInstalledStates (baseline: bare existence tests of the same paths)", std::nullopt,
     1.5},
    {"loadProductCache", "ProductCache::load (baseline: read the file and parse its JSON)", 50.0, std::nullopt},
};

// Each benchmark's time and ratio (the median when repeated) against its target.
void printSummary(const bench::SummaryReporter &reporter) {
    std::printf("\nSummary: the library code's time and its ratio to the baseline, against the targets\n");
    for (const Target &target : targets) {
        const bench::SummaryReporter::Run *run = reporter.find(target.benchmark);
        if (!run)
            continue;
        const double milliseconds = run->GetAdjustedRealTime();
        const double ratio = bench::SummaryReporter::counter(*run, "ratio");
        const bool met = (!target.maxMilliseconds || milliseconds < *target.maxMilliseconds) &&
                         (!target.maxRatio || ratio <= *target.maxRatio);
        std::printf("  %s\n    %.3f ms, baseline %.3f ms, ratio %.2fx (%s); target", target.description.c_str(),
                    milliseconds, bench::SummaryReporter::counter(*run, "baseline_ms"), ratio,
                    bench::SummaryReporter::runs(*run).c_str());
        if (target.maxMilliseconds)
            std::printf(" under %.0f ms", *target.maxMilliseconds);
        if (target.maxRatio)
            std::printf("%s within %.1fx", target.maxMilliseconds ? " and" : "", *target.maxRatio);
        std::printf(": %s\n", met ? "met" : "MISSED");
    }
}

} // namespace
} // namespace klv

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    const QCoreApplication application(argc, argv);
    const klv::Fixture fixture;
    if (!fixture.folder.isValid() || fixture.installedFolders != klv::installedFolderCount) {
        std::fputs("The synthetic Motion Templates tree could not be created.\n", stderr);
        return 1;
    }
    klv::fixture = &fixture;
    klv::bench::SummaryReporter::runAndSummarize(klv::printSummary);
    return 0;
}
