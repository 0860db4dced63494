// Runs the registered benchmarks and prints, for each measured benchmark, its ratio against a
// baseline measured in the same run. Ratios, not absolute times, are what the targets compare.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct Comparison {
  std::string measured;  // benchmark name (as printed, e.g. "BM_Fill/240")
  std::string baseline;
  std::string what;             // one line saying what the ratio means
  double target;                // the target ratio; <= 0 prints none
  bool higherIsBetter = false;  // compare rates (items/s) instead of times
};

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration && run.aggregate_name != "mean") continue;
      // With repetitions, the mean is found under its own name ("..._mean") and under the plain one.
      for (const std::string& name : {run.benchmark_name(), run.run_name.str()}) {
        timeNs[name] = run.GetAdjustedRealTime();
        auto it = run.counters.find("items_per_second");
        if (it != run.counters.end()) rate[name] = it->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> timeNs;
  std::map<std::string, double> rate;
};

// Appends one row to the run's summary table (the file named by ORVAN_BENCH_SUMMARY, which
// scripts/run-bench.sh prints after every benchmark has run): what was measured, the figure, the
// baseline, their ratio, the target and whether it was met. Tab-separated, one row per line.
inline void AppendSummaryRow(const std::string& what, const std::string& measured, const std::string& baseline,
                             double ratio, const std::string& target, const std::string& verdict) {
  const char* path = std::getenv("ORVAN_BENCH_SUMMARY");
  if (path == nullptr || *path == 0) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\t%s\t%s\t%.3f\t%s\t%s\n", what.c_str(), measured.c_str(), baseline.c_str(), ratio,
                 target.c_str(), verdict.c_str());
    std::fclose(f);
  }
}

inline int RunAndCompare(int argc, char** argv, const std::vector<Comparison>& comparisons) {
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-44s %-36s %10s %8s\n", "measured", "baseline", "ratio", "target");
  for (const Comparison& c : comparisons) {
    const auto& table = c.higherIsBetter ? reporter.rate : reporter.timeNs;
    auto m = table.find(c.measured);
    auto b = table.find(c.baseline);
    if (m == table.end() || b == table.end() || b->second == 0) continue;
    const double ratio = m->second / b->second;
    char target[32] = "-";
    if (c.target > 0) std::snprintf(target, sizeof target, "%s%.2f", c.higherIsBetter ? ">=" : "<=", c.target);
    const bool met = c.target <= 0 || (c.higherIsBetter ? ratio >= c.target : ratio <= c.target);
    std::printf("%-44s %-36s %10.3f %8s %s\n", c.measured.c_str(), c.baseline.c_str(), ratio, target,
                c.target > 0 ? (met ? "met" : "NOT MET") : "");
    if (!c.what.empty()) std::printf("    %s\n", c.what.c_str());
    AppendSummaryRow(c.what.empty() ? c.measured : c.what, c.measured, c.baseline, ratio, target,
                     c.target > 0 ? (met ? "met" : "NOT MET") : "-");
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
