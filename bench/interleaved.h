#pragma once
// Two sides of a comparison timed round by round (ABAB..., the side that goes first alternating),
// so that both meet the same state of the machine: a busy moment costs both sides of a round, not
// one side's whole block. The figure is the median of the rounds' ratios, with their spread.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace kyro::bench {

struct Comparison {
    double ratio = 0;      // median of the rounds' ratios (a / b)
    double lowest = 0;     // their spread
    double highest = 0;
    double medianA = 0;    // seconds a round, each side's median
    double medianB = 0;
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline Comparison CompareInterleaved(int rounds, const std::function<void()>& a, const std::function<void()>& b) {
    const auto timed = [](const std::function<void()>& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> ratios, timesA, timesB;
    for (int round = 0; round < rounds; ++round) {
        double ta = 0, tb = 0;
        if (round % 2 == 0) {
            ta = timed(a);
            tb = timed(b);
        } else {
            tb = timed(b);
            ta = timed(a);
        }
        timesA.push_back(ta);
        timesB.push_back(tb);
        ratios.push_back(ta / tb);
    }
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    return {Median(ratios), *low, *high, Median(timesA), Median(timesB)};
}

}  // namespace kyro::bench
