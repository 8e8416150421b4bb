#!/usr/bin/env bash
# Checks the generated code, builds and runs the test suite (default preset), then installs
# into a temporary prefix and builds and runs the consumer project in tests/install against
# it, through both the CMake package and pkg-config.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/deps.sh

echo "== generated code is up to date"
python3 codegen/generate.py --check

echo "== build (default preset)"
cmake --preset default
cmake --build build/default -j2

echo "== tests"
ctest --preset default

echo "== install and consume"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install build/default --prefix "$prefix"

cmake -S tests/install -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/consumer" -j2
"$work/consumer/kov_consumer"

pcdir="$(dirname "$(find "$prefix" -name kov-vm-bindings.pc -print -quit)")"
export PKG_CONFIG_PATH="$pcdir${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
pc_version="$(pkg-config --modversion kov-vm-bindings)"
pc_flags="$(pkg-config --cflags --libs kov-vm-bindings)"
pc_libdir="$(pkg-config --variable=libdir kov-vm-bindings)"
echo "pkg-config: kov-vm-bindings $pc_version: $pc_flags"
# shellcheck disable=SC2086 # the flags are meant to split
c++ -std=c++17 -Wall -Wextra -Werror -DKOV_EXPECTED_VERSION="\"$pc_version\"" \
  tests/install/main.cc -o "$work/pc_consumer" $pc_flags -Wl,-rpath,"$pc_libdir"
"$work/pc_consumer"

echo "scripts/test.sh: all checks passed"
