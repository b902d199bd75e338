#include "SummaryReporter.h"

#include <unistd.h>

namespace klv::bench {

SummaryReporter::SummaryReporter()
    : ConsoleReporter(::isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

void SummaryReporter::runAndSummarize(void (*printSummary)(const SummaryReporter &)) {
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
}

void SummaryReporter::ReportRuns(const std::vector<Run> &runs) {
    for (const Run &run : runs) {
        if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
            m_latest[run.run_name.function_name] = run;
    }
    ConsoleReporter::ReportRuns(runs);
}

const SummaryReporter::Run *SummaryReporter::find(const std::string &name) const {
    const auto found = m_latest.find(name);
    return found == m_latest.cend() ? nullptr : &found->second;
}

double SummaryReporter::counter(const Run &run, const std::string &name) {
    const auto found = run.counters.find(name);
    return found == run.counters.cend() ? 0.0 : found->second.value;
}

std::string SummaryReporter::runs(const Run &run) {
    return run.run_type == Run::RT_Aggregate ? "median of " + std::to_string(run.repetitions) + " runs"
                                             : std::string("one run");
}

} // namespace klv::bench
