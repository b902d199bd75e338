#include "WindowProbe.h"

#include "LibraryWindow.h"
#include "controls/StoreWebView.h"
#include "shell/MainViewController.h"

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace klv::bench {

namespace {

constexpr int firstRowsTimeoutMs = 60'000;
constexpr int frameTimeoutMs = 10'000;
constexpr int settleMs = 2'000;

// A field of /proc/<pid>/status in megabytes ("VmRSS", "VmHWM"); 0 when absent.
double statusMegabytes(const QString &statusFile, QByteArrayView field) {
    QFile file(statusFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field) && line.size() > field.size() && line[field.size()] == ':')
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// The parent process of /proc/<pid>; 0 when unknown.
qint64 parentOf(const QString &pid) {
    QFile file(u"/proc/"_s + pid + u"/stat"_s);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The name in parentheses may hold spaces; the fields after it are plain.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

// The resident memory of every process descended from this one (Qt WebEngine's helpers).
double descendantsMegabytes() {
    const QStringList pids = QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs);
    QList<qint64> family{::getpid()};
    double megabytes = 0;
    // Helpers start helpers; a few passes reach the grandchildren whatever the order of the listing.
    for (int pass = 0; pass < 3; ++pass) {
        for (const QString &pid : pids) {
            if (!family.contains(pid.toLongLong()) && family.contains(parentOf(pid))) {
                family.append(pid.toLongLong());
                megabytes += statusMegabytes(u"/proc/"_s + pid + u"/status"_s, "VmRSS");
            }
        }
    }
    return megabytes;
}

int visibleRows(QTreeView &outline) {
    int rows = 0;
    for (QModelIndex index = outline.model()->index(0, 0); index.isValid(); index = outline.indexBelow(index))
        ++rows;
    return rows;
}

} // namespace

qint64 monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int scrollThrough(LibraryWindow &window) {
    QScrollBar &bar = *window.outline().verticalScrollBar();
    int frames = 0;
    while (bar.value() < bar.maximum()) {
        const int before = window.outlineFrames();
        bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
        if (!window.waitForFrameAfter(before, frameTimeoutMs))
            return -1;
        ++frames;
    }
    return frames;
}

int runWindowProbe(const QString &mode, qint64 spawnedAtNanoseconds) {
    LibraryWindow window;
    if (!window.waitForFirstRows(firstRowsTimeoutMs)) {
        std::fputs("The library's rows were never painted.\n", stderr);
        return 1;
    }
    if (mode == u"first-frame") {
        std::printf("first_frame_ms %.3f\n", double(monotonicNanoseconds() - spawnedAtNanoseconds) / 1e6);
        std::fflush(stdout);
        // Only the first frame is measured; the end of the process is not.
        std::_Exit(0);
    }
    window.outline().expandAll();
    const int before = window.outlineFrames();
    window.outline().viewport()->update();
    if (!window.waitForFrameAfter(before, frameTimeoutMs) || scrollThrough(window) < 0) {
        std::fputs("The outline stopped painting while it scrolled.\n", stderr);
        return 1;
    }
    if (!LibraryWindow::waitUntil([&window] { return window.window().featureWebView() != nullptr; }, frameTimeoutMs)) {
        std::fputs("The web views were never made.\n", stderr);
        return 1;
    }
    LibraryWindow::waitUntil([] { return false; }, settleMs);
    const QString status = u"/proc/self/status"_s;
    std::printf("rss_mb %.1f hwm_mb %.1f helpers_mb %.1f rows %d\n", statusMegabytes(status, "VmRSS"),
                statusMegabytes(status, "VmHWM"), descendantsMegabytes(), visibleRows(window.outline()));
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace klv::bench
