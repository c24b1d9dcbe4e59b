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
    double medianA = 0;    // each side's median: seconds a round, or the figure CompareFigures was given
    double medianB = 0;
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The same for figures that are not times: each side gives its round's figure (a process's memory,
// say), and the ratio and the medians are of those figures.
inline Comparison CompareFigures(int rounds, const std::function<double()>& a, const std::function<double()>& b) {
    std::vector<double> ratios, figuresA, figuresB;
    for (int round = 0; round < rounds; ++round) {
        double fa = 0, fb = 0;
        if (round % 2 == 0) {
            fa = a();
            fb = b();
        } else {
            fb = b();
            fa = a();
        }
        figuresA.push_back(fa);
        figuresB.push_back(fb);
        ratios.push_back(fa / fb);
    }
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    return {Median(ratios), *low, *high, Median(figuresA), Median(figuresB)};
}

inline Comparison CompareInterleaved(int rounds, const std::function<void()>& a, const std::function<void()>& b) {
    const auto timed = [](const std::function<void()>& work) {
        return [&work] {
            const auto start = std::chrono::steady_clock::now();
            work();
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
    };
    return CompareFigures(rounds, timed(a), timed(b));
}

}  // namespace kyro::bench
