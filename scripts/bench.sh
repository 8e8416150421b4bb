#!/usr/bin/env bash
# Builds the release preset and runs the benchmark program: conversion against nlohmann::json,
# provider invocation against a direct virtual call, the client round trip, scaling to two
# threads, and heap allocations per operation. Ends with a table of ratios.
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=Summaries).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target bench_kov_bench
build/release/bench/kov_bench "$@"

# The network transport: the remote round trip against a typed gRPC call over loopback, four
# client threads against one, and the value encoding against typed protobuf messages.
if cmake --build --preset release --target bench_remote_bench; then
  build/release/bench/remote/remote_bench
fi
