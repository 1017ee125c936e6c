#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

// Two jobs timed turn about within one run, so a busy machine slows both alike
// and their ratio stays honest where their absolute times drift. Times are the
// thread's CPU time: on shared cores, time spent waiting for a core is no
// one's cost. The benchmark needs UseManualTime(); each iteration times one of each.
class Alternation {
public:
    template <typename F> static double seconds(F &&job) {
        const double start = threadSeconds();
        job();
        return threadSeconds() - start;
    }

    template <typename A, typename B> void run(benchmark::State &state, A &&a, B &&b) {
        runTimed(state, [&] { return seconds(a); }, [&] { return seconds(b); });
    }

    // As run, for jobs that time themselves and give their seconds: a child
    // process, whose CPU time is not this thread's.
    template <typename A, typename B> void runTimed(benchmark::State &state, A &&a, B &&b) {
        for (auto _ : state) {
            const double ta = a();
            const double tb = b();
            a_.push_back(ta);
            b_.push_back(tb);
            state.SetIterationTime(ta + tb);
        }
    }

    // Median seconds of each job, and the median of a's time over b's in the same iteration.
    double medianA() const { return median(a_); }
    double medianB() const { return median(b_); }
    double ratio() const {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < a_.size(); ++i)
            ratios.push_back(a_[i] / b_[i]);
        return median(ratios);
    }

    static double median(std::vector<double> values) {
        if (values.empty())
            return 0;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        return values[values.size() / 2];
    }

private:
    static double threadSeconds() {
        timespec now;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

    std::vector<double> a_, b_;
};
