// Verification of installed products against their manifests, each timed in the same iterations as the bare
// minimum of the same job: `klv verify --quick` of 3,000 template folders against a walk that stats every file, and
// the full verification of a 200 MB pack against `sha256sum` of the same files.
#include "ChildProcess.h"
#include "Measurement.h"
#include "SummaryReporter.h"

#include "library/FileTreeScan.h"
#include "library/InstallManifest.h"
#include "library/InstallVerifier.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using bench::Measurement;
using bench::secondsOf;
using bench::threadSeconds;
using bench::wallSeconds;

constexpr int packCount = 3;
constexpr int foldersPerPack = 1000;
constexpr qsizetype mediaBytes = 200 * 1024;

QString packName(int pack) {
    return u"Pack %1"_s.arg(pack);
}

// Three installed packs of 1,000 template folders (a document, a thumbnail and 200 KB of random media in each: the
// first pack is the 200 MB one), with the manifests their installation would have written.
struct Fixture {
    Fixture() {
        QByteArray media(mediaBytes, Qt::Uninitialized);
        for (int pack = 0; pack < packCount; ++pack) {
            QStringList roots;
            for (int folder = 0; folder < foldersPerPack; ++folder) {
                const QString root = folders.filePath(u"Titles/KLV - %1 %2"_s.arg(packName(pack)).arg(folder));
                QDir().mkpath(root);
                QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(media.data()),
                                                      media.size() / qsizetype(sizeof(quint32)));
                write(root + u"/Template.moti"_s, QByteArray(2048, 'm'));
                write(root + u"/Thumbnail.png"_s, media.left(8192));
                write(root + u"/Media/clip.mov"_s, pack == 0 ? media : media.left(4096));
                roots.append(root);
            }
            // Without its records the benchmark would measure nothing worth a figure.
            if (const Error error = InstallManifest::describe(packName(pack), pack, u"2025.06.01"_s, roots)
                                        .write(InstallManifest::pathFor(maker(), packName(pack))))
                qFatal("the manifest could not be written: %s", qPrintable(*error));
        }
    }
    static void write(const QString &path, const QByteArray &content) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    QString maker() const { return folders.filePath(u"Vantory/"_s); }

    QTemporaryDir folders;
};

const Fixture *fixture = nullptr;

// What any walk must do: list every folder and stat every file in it.
qsizetype statWalk(int folder) {
    qsizetype files = 0;
    DIR *listing = ::fdopendir(folder);
    while (const dirent *entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat status {};
        ::fstatat(::dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW);
        if (S_ISDIR(status.st_mode))
            files += statWalk(::openat(::dirfd(listing), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        else
            ++files;
    }
    ::closedir(listing);
    return files;
}

void verifyQuick3000Folders(benchmark::State &state) {
    const InstallVerifier verifier(fixture->maker());
    const QByteArray titles = QFile::encodeName(fixture->folders.filePath(u"Titles"_s));
    Measurement measurement;
    bool intact = true;
    qsizetype walked = 0;
    for (auto _ : state) {
        const double subject = secondsOf(threadSeconds, [&] {
            for (int pack = 0; pack < packCount; ++pack)
                intact =
                    verifier.verify(packName(pack), pack, {}, {}, InstallVerifier::Depth::quick).intact() && intact;
        });
        const double baseline = secondsOf(
            threadSeconds, [&] { walked = statWalk(::open(titles.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); });
        measurement.add(state, subject, baseline);
    }
    measurement.report(state);
    if (!intact || walked != packCount * foldersPerPack * 3)
        state.SkipWithError("the verification or the walk did not see the installed files");
}

void verifyFull200MBPack(benchmark::State &state) {
    const InstallVerifier verifier(fixture->maker());
    QStringList files;
    for (const ScannedFile &file : FileTreeScan::list({fixture->folders.filePath(u"Titles"_s)})) {
        if (file.path.contains(packName(0) + u' '))
            files.append(file.path);
    }
    const QStringList environment = QProcessEnvironment::systemEnvironment().toStringList();
    Measurement measurement;
    bool intact = true;
    for (auto _ : state) {
        // Wall-clock time: the verification reads on every core, as sha256sum would if it could.
        const double subject = secondsOf(wallSeconds, [&] {
            intact = verifier.verify(packName(0), 0, {}, {}, InstallVerifier::Depth::full).intact();
        });
        const bench::ChildRun baseline =
            bench::runChild(QStringList{u"sha256sum"_s} + files, environment, u"/dev/null"_s);
        intact = intact && baseline.exitCode == 0;
        measurement.add(state, subject, baseline.seconds);
    }
    measurement.report(state);
    if (!intact)
        state.SkipWithError("the verification found a difference, or sha256sum failed");
}

BENCHMARK(verifyQuick3000Folders)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(verifyFull200MBPack)->UseManualTime()->Unit(benchmark::kMillisecond);

void printSummary(const bench::SummaryReporter &reporter) {
    const struct {
        const char *benchmark;
        const char *description;
        double maxRatio;
    } targets[] = {
        {"verifyQuick3000Folders", "verify --quick of 3,000 template folders (baseline: a walk that stats each file)",
         1.5},
        {"verifyFull200MBPack", "full verification of the 200 MB pack (baseline: sha256sum of the same files)", 1.3},
    };
    std::printf("\nSummary: verification against its baselines\n");
    for (const auto &target : targets) {
        const bench::SummaryReporter::Run *run = reporter.find(target.benchmark);
        if (!run)
            continue;
        const double ratio = bench::SummaryReporter::counter(*run, "ratio");
        std::printf(
            "  %s\n    %.3f ms, baseline %.3f ms, ratio %.2fx (%s); target within %.1fx: %s\n", target.description,
            run->GetAdjustedRealTime(), bench::SummaryReporter::counter(*run, "baseline_ms"), ratio,
            bench::SummaryReporter::runs(*run).c_str(), target.maxRatio, ratio <= target.maxRatio ? "met" : "MISSED");
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
    klv::fixture = &fixture;
    klv::bench::SummaryReporter::runAndSummarize(klv::printSummary);
    return 0;
}
