#!/usr/bin/env bash
# Runs a fuzzing campaign longer than CI's: scripts/fuzz.sh [TARGET] [SECONDS]. TARGET is wire, cli
# or state; without one, all three run one after another. SECONDS is per target (default 600).
# The grown corpus stays outside the repository, in $KOV_FUZZ_DIR/TARGET (default
# ${XDG_CACHE_HOME:-$HOME/.cache}/kov-vm-fuzz/TARGET), seeded from fuzz/corpus/TARGET; inputs that
# crash go to $KOV_FUZZ_DIR/TARGET-crashes/. Builds the preset `fuzz` first when needed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

targets=(wire cli state)
if [ $# -ge 1 ] && [ -n "$1" ]; then
  case "$1" in
    wire | cli | state) targets=("$1") ;;
    *)
      echo "usage: scripts/fuzz.sh [wire|cli|state] [SECONDS]" >&2
      exit 2
      ;;
  esac
fi
seconds="${2:-600}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: SECONDS must be a positive number, not '$seconds'" >&2
  exit 2
fi
base="${KOV_FUZZ_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kov-vm-fuzz}"

[ -f build/fuzz/build.ninja ] || cmake --preset fuzz
cmake --build --preset fuzz

status=0
for target in "${targets[@]}"; do
  corpus="$base/$target"
  mkdir -p "$corpus" "$base/$target-crashes"
  cp -n fuzz/corpus/"$target"/* "$corpus"/
  dict=fuzz/json.dict
  [ "$target" = wire ] && dict=fuzz/wire.dict
  echo "== fuzz $target for $seconds s, corpus $corpus"
  build/fuzz/fuzz/kov_fuzz_"$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="$dict" -artifact_prefix="$base/$target-crashes/" "$corpus" || status=1
done
exit $status
