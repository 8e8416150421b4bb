#!/usr/bin/env bash
# Builds the default preset and runs the kov-vm client's demonstration.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/deps.sh
cmake --preset default
cmake --build build/default -j2
build/default/tools/kov-vm/kov-vm demo
