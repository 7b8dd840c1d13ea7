// A console reporter that also keeps each benchmark's mean time, so a
// program can print the ratio of two figures measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace orba::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration) {
        times[r.benchmark_name()] = r.GetAdjustedRealTime();
        cpu_times[r.benchmark_name()] = r.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  // Prints "<ours> x ms, <theirs> y ms, ratio r (goal: at most g)" when both ran.
  void PrintRatio(const char* ours, const char* theirs, const char* their_label, double goal) const {
    const auto a = times.find(ours), b = times.find(theirs);
    if (a != times.end() && b != times.end() && b->second > 0)
      std::printf("orba %.2f ms, %s %.2f ms, ratio %.2f (goal: at most %.2f)\n", a->second, their_label, b->second,
                  a->second / b->second, goal);
  }
  std::map<std::string, double> times;
  // The same figures in CPU time, as the benchmarks' rate counters count.
  std::map<std::string, double> cpu_times;
};

}  // namespace orba::bench
