#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace klv::bench {

// The thread's CPU time, user and system: other work on the shared machine does not count.
inline double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Wall-clock time, for work that waits on the disk or on other threads.
inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// How long the work took by the clock given.
template <typename Clock, typename Work> double secondsOf(Clock clock, Work &&work) {
    const double start = clock();
    work();
    return clock() - start;
}

// The same in the thread's CPU time.
template <typename Work> double secondsOf(Work &&work) {
    return secondsOf(threadSeconds, work);
}

// Sums the subject's and the baseline's times; the subject's is the benchmark's time.
class Measurement {
public:
    void add(benchmark::State &state, double subjectSeconds, double baselineSeconds) {
        m_subject += subjectSeconds;
        m_baseline += baselineSeconds;
        state.SetIterationTime(subjectSeconds);
    }
    void report(benchmark::State &state) const {
        state.counters["baseline_ms"] = m_baseline * 1e3 / double(state.iterations());
        state.counters["ratio"] = m_subject / m_baseline;
    }

private:
    double m_subject = 0;
    double m_baseline = 0;
};

} // namespace klv::bench
