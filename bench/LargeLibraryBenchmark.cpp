// A library of 250,000 products, downloaded and checked by klv against klv-store on loopback, in a sandbox home.
// Each iteration runs klv as a process and, in the same iteration, a baseline that does the least any reader of the
// same data must do: Python's json module loading the catalog the store serves. The ratios are what to compare
// across machines; the summary also holds klv's own figures against the targets (4 s and 200 MB for a download).

#include "ChildProcess.h"
#include "SummaryReporter.h"
#include "storeservice/StoreProcess.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace klv {
namespace {

using bench::ChildRun;
using bench::runChild;

constexpr int productCount = 250'000;
constexpr double targetSeconds = 4.0;
constexpr double targetMegabytes = 200.0;

// The catalog, the store serving it, and homes signed in to it.
class LargeLibrarySandbox final {
public:
    bool ready() {
        if (!m_ready)
            m_ready = writeCatalog() && startStore();
        return *m_ready;
    }
    const QString &error() const { return m_error; }

    // A new home, signed in, with no library yet.
    bool freshHome() {
        m_home = m_root.filePath(u"home-%1"_s.arg(++m_homes));
        QDir(m_root.filePath(u"home-%1"_s.arg(m_homes - 1))).removeRecursively();
        for (const QString &folder : {u"/.config"_s, u"/.local/share"_s, u"/.cache"_s, u"/.runtime"_s})
            QDir().mkpath(m_home + folder);
        QFile::setPermissions(m_home + u"/.runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile password(m_root.filePath(u"password"_s));
        if (!password.open(QIODevice::WriteOnly) || password.write("bench\n") != 6)
            return fail(u"the password file could not be written"_s);
        password.close();
        const ChildRun login = runChild({QStringLiteral(KLV_CLI_BINARY), u"login"_s, u"bench"_s, u"--password-stdin"_s},
                                        environment(), output(), password.fileName());
        return login.exitCode == 0 || fail(u"klv login failed: "_s + readOutput());
    }

    ChildRun klvRefresh() {
        return runChild({QStringLiteral(KLV_CLI_BINARY), u"refresh"_s, u"--quiet"_s}, environment(), output());
    }

    ChildRun jsonBaseline() {
        return runChild({u"python3"_s, u"-c"_s, u"import json,sys; json.load(open(sys.argv[1], 'rb'))"_s,
                         m_root.filePath(u"catalog/store.json"_s)},
                        environment(), output());
    }

    QString readOutput() const {
        QFile file(output());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }

private:
    bool writeCatalog() {
        if (!QDir().mkpath(m_root.filePath(u"catalog/files"_s)))
            return fail(u"no catalog folder"_s);
        QFile catalog(m_root.filePath(u"catalog/store.json"_s));
        if (!catalog.open(QIODevice::WriteOnly))
            return fail(catalog.errorString());
        // Written as text, product by product: the point is a library too large to be built as one tree.
        QByteArray owned;
        QByteArray products;
        static const char *const locations[] = {"Titles", "Transitions", "Effects", "Generators"};
        for (int i = 0; i < productCount; ++i) {
            const QByteArray number = QByteArray::number(100'000 + i);
            const QByteArray name = "Product " + QByteArray::number(i).rightJustified(6, '0');
            if (i > 0) {
                owned += ',';
                products += ',';
            }
            owned += number;
            products += R"({"product_id":)" + number + R"(,"product_name":")" + name + R"(","post_name":"p)" +
                        QByteArray::number(i) + R"(","product_image_url":"","product_fileSize":)" +
                        QByteArray::number(1'000'000 + i) + R"(,"product_location":")" + locations[i % 4] +
                        R"(","children":[],"parentID":0,"armCompatiable":false,"mainApplication":"FCP",)"
                        R"("lastest":"2026.01.20"})";
        }
        const QByteArray text = R"({"commitID":"large-1","accounts":[{"user":"bench","password":"bench",)"
                                R"("name":"Bench","email":"bench@klv.example","products":[)" +
                                owned + R"(]}],"products":[)" + products + "]}";
        if (catalog.write(text) != text.size())
            return fail(u"the catalog could not be written"_s);
        return true;
    }

    bool startStore() {
        // Reading a catalog of a quarter of a million products takes the store a while.
        if (!m_store.start(30'000))
            return fail(m_store.errorString());
        m_storeUrl = m_store.url();
        return true;
    }

    QStringList environment() const {
        return {u"HOME="_s + m_home,
                u"XDG_CONFIG_HOME="_s + m_home + u"/.config"_s,
                u"XDG_DATA_HOME="_s + m_home + u"/.local/share"_s,
                u"XDG_CACHE_HOME="_s + m_home + u"/.cache"_s,
                u"XDG_RUNTIME_DIR="_s + m_home + u"/.runtime"_s,
                u"PATH="_s + qEnvironmentVariable("PATH"),
                u"KLV_STORE_URL="_s + m_storeUrl};
    }

    QString output() const { return m_root.filePath(u"output.txt"_s); }

    bool fail(const QString &error) {
        m_error = error;
        return false;
    }

    QTemporaryDir m_root;
    storeservice::StoreProcess m_store{m_root.filePath(u"catalog"_s)};
    QString m_storeUrl;
    QString m_home;
    int m_homes = 0;
    QString m_error;
    std::optional<bool> m_ready;
};

LargeLibrarySandbox *sandbox = nullptr;

// One klv refresh and its baseline; false (the benchmark skipped) when either failed.
bool measureRefresh(benchmark::State &state) {
    const ChildRun baseline = sandbox->jsonBaseline();
    const ChildRun klv = sandbox->klvRefresh();
    if (klv.exitCode != 0 || baseline.exitCode != 0) {
        state.SkipWithError(("klv refresh failed: " + sandbox->readOutput().toStdString()).c_str());
        return false;
    }
    state.SetIterationTime(klv.seconds);
    state.counters["peak_MB"] = klv.peakMegabytes;
    state.counters["baseline_s"] = baseline.seconds;
    state.counters["baseline_peak_MB"] = baseline.peakMegabytes;
    state.counters["ratio"] = klv.seconds / baseline.seconds;
    state.counters["memory_ratio"] = klv.peakMegabytes / baseline.peakMegabytes;
    return true;
}

// A first refresh: the whole library downloaded, read, detected and cached.
void refreshDownloading(benchmark::State &state) {
    if (!sandbox->ready()) {
        state.SkipWithError(sandbox->error().toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        if (!sandbox->freshHome()) {
            state.SkipWithError(sandbox->error().toStdString().c_str());
            break;
        }
        if (!measureRefresh(state))
            break;
    }
}

// A later refresh: the store's commit is the cached one, so the cache is read and the states detected again.
void refreshUnchanged(benchmark::State &state) {
    if (!sandbox->ready() || !sandbox->freshHome() || sandbox->klvRefresh().exitCode != 0) {
        state.SkipWithError(sandbox->error().toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        if (!measureRefresh(state))
            break;
    }
}

BENCHMARK(refreshDownloading)
    ->Name("refresh/download/250000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(refreshUnchanged)
    ->Name("refresh/unchanged/250000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void printSummary(const bench::SummaryReporter &reporter) {
    if (reporter.isEmpty())
        return;
    std::printf("\nSummary: klv refresh of %d products against Python's json.load of the same catalog\n", productCount);
    for (const char *name : {"refresh/download/250000", "refresh/unchanged/250000"}) {
        const bench::SummaryReporter::Run *run = reporter.find(name);
        if (!run)
            continue;
        const double seconds = run->GetAdjustedRealTime() / 1e3;
        const double megabytes = bench::SummaryReporter::counter(*run, "peak_MB");
        std::printf("  %s (%s): %.2f s, peak %.0f MB; %.2fx the baseline's time, %.2fx its memory; target %.0f s "
                    "and %.0f MB: %s\n",
                    name, bench::SummaryReporter::runs(*run).c_str(), seconds, megabytes,
                    bench::SummaryReporter::counter(*run, "ratio"),
                    bench::SummaryReporter::counter(*run, "memory_ratio"), targetSeconds, targetMegabytes,
                    seconds <= targetSeconds && megabytes <= targetMegabytes ? "met" : "MISSED");
    }
}

} // namespace
} // namespace klv

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    const QCoreApplication application(argc, argv);
    klv::LargeLibrarySandbox sandbox;
    klv::sandbox = &sandbox;
    klv::bench::SummaryReporter::runAndSummarize(klv::printSummary);
    return 0;
}
