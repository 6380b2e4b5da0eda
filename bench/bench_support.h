#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace wendlow::bench {

// Runs `work` `runs` times and prints the median and the fastest run in milliseconds.
inline double measure(const char* name, int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("%-44s median %9.3f ms   min %9.3f ms   (%d runs)\n", name, median, ms.front(),
                runs);
    std::fflush(stdout);
    return median;
}

} // namespace wendlow::bench
