#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace klv::bench {

// A child process that ran to its end: exit code (-1 when it did not exit), wall-clock time, CPU time (user and
// system, with that of the children it waited for) and peak resident memory.
struct ChildRun {
    int exitCode = -1;
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
};

// Runs command to its end with standard input from inputFile and both output streams written to outputFile.
// wait4 reports the child's own peak resident memory, which QProcess cannot tell.
ChildRun runChild(const QStringList &command, const QStringList &environment, const QString &outputFile,
                  const QString &inputFile = QStringLiteral("/dev/null"));

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace klv::bench
