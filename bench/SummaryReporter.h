#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace klv::bench {

// The console table as Google Benchmark prints it, keeping each benchmark's figures for the summary a program
// prints against its targets: its run, or the median of its runs when it was repeated.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    SummaryReporter();

    // Runs the benchmarks the command line asks for, then prints the program's summary of them.
    static void runAndSummarize(void (*printSummary)(const SummaryReporter &));

    void ReportRuns(const std::vector<Run> &runs) override;

    bool isEmpty() const { return m_latest.empty(); }
    // The figures of that benchmark; null when it did not run.
    const Run *find(const std::string &name) const;
    // A counter of the run; 0 when it has none.
    static double counter(const Run &run, const std::string &name);
    // "one run" or "median of N runs".
    static std::string runs(const Run &run);

private:
    std::map<std::string, Run> m_latest;
};

} // namespace klv::bench
