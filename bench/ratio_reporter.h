#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace orvet {

// Prints the runs as usual and keeps each one's time per iteration, so that a benchmark
// "<name>_Layer" (the program's code) can be set beside its baseline "<name>_Bare".
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            times_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                  run.GetAdjustedCPUTime()};
        }
    }

    // Prints "<name> layer/bare = <real> real, <CPU> CPU (goal <= <goal>)" when both ran.
    void printRatio(const std::string& name, double goal) const {
        const auto layer = times_.find(name + "_Layer");
        const auto bare = times_.find(name + "_Bare");
        if (layer == times_.end() || bare == times_.end())
            return;
        std::printf("%-13s layer/bare = %.2f real, %.2f CPU (goal <= %g)\n", name.c_str(),
                    layer->second.first / bare->second.first,
                    layer->second.second / bare->second.second, goal);
    }

private:
    std::map<std::string, std::pair<double, double>> times_;  // real, CPU
};

}  // namespace orvet
