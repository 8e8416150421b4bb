// The command line shared by the benchmark programs: `--smoke` runs each benchmark once (what
// ctest runs, no timing judged); otherwise, unless repetitions are given, five repetitions of
// each benchmark in random order, so that the two sides of every ratio interleave in time.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace KovBench {

// Initialises Google Benchmark from the command line with those defaults; true for --smoke.
inline bool Initialize(int argc, char** argv) {
  static std::string minTime = "--benchmark_min_time=0";
  static std::string repetitions = "--benchmark_repetitions=5";
  static std::string interleave = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args;
  bool smoke = false;
  bool repetitionsGiven = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg(argv[i]);
    if (arg == "--smoke") {
      smoke = true;
      continue;
    }
    if (arg.rfind("--benchmark_repetitions", 0) == 0) repetitionsGiven = true;
    args.push_back(argv[i]);
  }
  if (smoke) {
    args.push_back(&minTime[0]);
  } else if (!repetitionsGiven) {
    args.push_back(&repetitions[0]);
    args.push_back(&interleave[0]);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  return smoke;
}

}  // namespace KovBench
